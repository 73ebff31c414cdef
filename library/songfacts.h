#ifndef SONGFACTS_H
#define SONGFACTS_H

#include <QString>

#include <optional>

// What the library knows of one song file, read with TagLib (or, for a zipped MP3+CDG pair, from
// the archive's entry names): its tags, its length, whether its tag carries lyrics (SYLT, USLT)
// and the gain its ReplayGain or RVA2 frame asks for. Marks for files beside the song (.lrc,
// .cdg) come from the folder listing, not from here.
struct SongFacts
{
    QString title, artist, album;
    int milliseconds = 0;
    bool tagLyrics = false;
    bool zippedGraphics = false;
    std::optional<double> tagGainDb;
    std::optional<double> tagPeak; // linear, 1 = full scale

    // The facts of the regular file at path (an .mp3, or a .zip holding an .mp3 and a .cdg of
    // the same name); nothing when it is no such file, cannot be read, or holds no MPEG audio.
    // Any thread.
    static std::optional<SongFacts> read(const QString &path);
};

#endif // SONGFACTS_H
