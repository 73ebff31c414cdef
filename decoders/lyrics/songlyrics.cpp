#include "songlyrics.h"

SongLyrics SongLyrics::forSong(const QString &songPath)
{
    Q_UNUSED(songPath);
    return SongLyrics();
}

bool SongLyrics::hasLyrics() const
{
    return !events.isEmpty();
}

QString SongLyrics::source() const
{
    return from;
}

DisplayTimeline SongLyrics::timeline() const
{
    return events;
}
