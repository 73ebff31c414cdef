#ifndef LOUDNESSNORMALISATION_H
#define LOUDNESSNORMALISATION_H

#include <QObject>
#include <QString>

class LibraryIndex;
class QAction;

// Even loudness from song to song: the checkable "Loudness Normalisation" entry (on unless the
// user switched it off; kept as "loudnessNormalisation" in the second settings file) and the
// gain of each starting song, from the library's tag gain or measurement, put into the sound
// settings. A song the library does not know, or any song while it is off, plays at exactly its
// own level. GUI thread only.
class LoudnessNormalisation : public QObject
{
    Q_OBJECT

public:
    static constexpr const char *settingsKey = "loudnessNormalisation";

    LoudnessNormalisation(const LibraryIndex &index, QObject *parent = nullptr);

    // The menu entry; its owner puts it into a menu.
    QAction *action() const { return toggle; }
    bool enabled() const;

    // Sets the loudness gain for the song at path, which is starting.
    void songStarted(const QString &path);

private:
    void changed(bool on);
    void apply();

    const LibraryIndex &index;
    QAction *toggle = nullptr;
    QString currentSong;
};

#endif // LOUDNESSNORMALISATION_H
