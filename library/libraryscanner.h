#ifndef LIBRARYSCANNER_H
#define LIBRARYSCANNER_H

#include <QHash>
#include <QSet>
#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>

class LibraryDatabase;
class QSqlQuery;
struct SongFacts;

// Brings the database in line with the library folders: walks them (symbolic links followed,
// each folder once, so loops end), takes every regular .mp3 file and every .zip holding an
// MP3+CDG pair, reads only files whose size or modification time changed, drops songs that are
// gone, and then, when asked, measures the loudness of songs without a ReplayGain tag. Writes go
// in short transactions so other programs can use the database meanwhile.
// Runs in the thread that owns the database connection (a background thread in the player).
class LibraryScanner
{
public:
    struct Summary
    {
        int added = 0;
        int updated = 0;
        int removed = 0;
        int unchanged = 0;
        int measured = 0;
        int songs = 0;
        bool cancelled = false;
    };

    enum class Phase
    {
        Reading,  // done and total count song files
        Measuring // done and total count songs to measure
    };

    // Called now and then from the scanning thread.
    using Progress = std::function<void(Phase phase, int done, int total)>;

    explicit LibraryScanner(LibraryDatabase &database);
    ~LibraryScanner();

    void setMeasureLoudness(bool measure) { measureLoudness = measure; }
    void setProgress(Progress progress) { report = std::move(progress); }
    // The scan ends soon after *cancel becomes true.
    void setCancel(const std::atomic<bool> *cancel) { cancelFlag = cancel; }

    Summary scan(const QStringList &folders);

    struct Found
    {
        QString path;
        qint64 size = 0;
        qint64 mtime = 0; // nanoseconds
        bool fileLyrics = false;
        bool graphics = false;
    };

    // Writes one new song as a scan would; callers (benchmarks, tests) open the transaction.
    bool addSong(const Found &file, const SongFacts &facts);

private:
    struct Known
    {
        qint64 id = 0;
        qint64 size = 0;
        qint64 mtime = 0;
        bool fileLyrics = false;
        bool graphics = false;
    };

    bool cancelled() const;
    void loadKnown();
    void readChanged(const QList<Found> &found, Summary &summary);
    bool writeSong(const Found &file, const SongFacts &facts, const Known *known);
    void removeGone(Summary &summary);
    void measureAll(Summary &summary);
    void commitNowAndThen(bool force);

    LibraryDatabase &database;
    bool measureLoudness = false;
    Progress report;
    const std::atomic<bool> *cancelFlag = nullptr;
    QHash<QString, Known> known;
    QSet<qint64> seen; // ids found in this scan
    int pendingWrites = 0;
};

#endif // LIBRARYSCANNER_H
