#ifndef ID3LYRICS_H
#define ID3LYRICS_H

#include "lyricline.h"

class QString;

// Lyrics kept in a song's ID3v2 tag: a SYLT frame of lyrics (times in milliseconds or in the
// file's own MPEG frames) or, failing that, a USLT frame whose text is LRC.
class Id3Lyrics
{
public:
    // The song's tagged lyrics, SYLT before USLT; source says which ("ID3v2 SYLT",
    // "ID3v2 USLT"). Empty when the file has neither, or is no MPEG file.
    static LyricSheet read(const QString &songPath, QString *source = nullptr);

    // Replaces the song's SYLT lyrics with the sheet: an ID3v2.4 frame in UTF-8 with times in
    // milliseconds, one entry per word where lines have word timing. Other frames and tags stay.
    // On failure returns false with a message in error.
    static bool writeSylt(const QString &songPath, const LyricSheet &sheet, QString *error);

    // SYLT entries, times in milliseconds, to lines. Both conventions occur: each entry is a
    // line, or, when any entry's text begins with a line feed, entries are words and a line
    // feed starts a new line (an entry with no text then ends the last word).
    static LyricSheet fromSyltEntries(const QVector<LyricLine::Piece> &entries);
    // Lines to SYLT entries, word by word (the second convention) when any line has words.
    static QVector<LyricLine::Piece> toSyltEntries(const LyricSheet &sheet);

    // The time at which MPEG frame number `frames` of the file starts: frames last 384 samples
    // in layer I, 1152 in layer II and in MPEG-1 layer III, 576 in MPEG-2/2.5 layer III.
    // -1 for an impossible rate or layer.
    static qint64 mpegFramesToMs(qint64 frames, int sampleRate, bool mpeg1, int layer);
};

#endif
