#ifndef SONGLYRICS_H
#define SONGLYRICS_H

#include "displayevent.h"

#include <QString>

// A song's lyrics as the player shows them, found where people keep them: a sidecar LRC file
// beside the song (same base name, ".lrc" or ".LRC"), else an ID3v2 SYLT frame of lyrics, else
// an ID3v2 USLT frame whose text is LRC. The first source that yields timed lines wins.
class SongLyrics
{
public:
    // Looks for the song's lyrics; never fails: a song without lyrics has an empty timeline.
    static SongLyrics forSong(const QString &songPath);

    bool hasLyrics() const;
    // Where the lyrics came from: the sidecar's file name ("song.lrc"), "ID3v2 SYLT" or
    // "ID3v2 USLT"; empty without lyrics.
    QString source() const;
    // Pages and highlights in time order, the first page at ms 0.
    DisplayTimeline timeline() const;

private:
    QString from;
    DisplayTimeline events;
};

#endif
