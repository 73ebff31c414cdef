#ifndef LIBRARYINDEX_H
#define LIBRARYINDEX_H

#include "librarysong.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class LibraryDatabase;

// The song library as the rest of the program sees it: full-text search over title, artist,
// album and file name, one song by id, the library folders, and each song's loudness gain. The
// database is opened on first need, and not made at all until a folder is added, so a user who
// never uses the library finds no file of it.
// One thread: the one that made it (the GUI thread in the player). Each call is one short query.
class LibraryIndex
{
public:
    // $XDG_DATA_HOME/VantrelKivo/library.sqlite, ~/.local/share when XDG_DATA_HOME is unset or
    // relative.
    static QString standardFileName();

    explicit LibraryIndex(const QString &fileName = standardFileName());
    ~LibraryIndex();

    QString fileName() const { return path; }

    // Songs whose title, artist, album or file name hold every typed word (as a word prefix, in
    // any order; case and accents ignored; CJK text by any part), at most limit of them. Empty
    // words list the library by title.
    QList<LibrarySong> search(const QString &words, int limit) const;
    std::optional<LibrarySong> song(qint64 id) const;
    // The song at path, if the library has it.
    std::optional<LibrarySong> songAt(const QString &path) const;

    QStringList folders() const;
    // Adds an existing folder (as an absolute path); false when it is no folder or already in.
    bool addFolder(const QString &folder);
    // Removes the folder and its songs from the library; false when it was not in it.
    bool removeFolder(const QString &folder);

    // The linear gain that brings the song at path to the target loudness (ReplayGain tag, else
    // the measurement); exactly 1 when the library has no such song or knows no loudness of it.
    double loudnessGain(const QString &path) const;

    struct Stats
    {
        int folders = 0;
        int songs = 0;
        int withLyrics = 0;
        int withGraphics = 0;
        int withLoudness = 0;
        qint64 seconds = 0;
    };
    Stats stats() const;

    // Opens the file anew: after a scan that had to rebuild it.
    void reopen();

private:
    LibraryDatabase *database(bool create) const;

    QString path;
    mutable std::unique_ptr<LibraryDatabase> opened;
};

#endif // LIBRARYINDEX_H
