#ifndef LYRICLINE_H
#define LYRICLINE_H

#include <QString>
#include <QVector>

// One sung word inside a line: when it starts and where it sits in the line's text (UTF-16
// positions, end exclusive, trailing spaces left out so a wipe stops at the word's last letter).
struct LyricWord
{
    qint64 ms = 0;
    int start = 0;
    int end = 0;

    bool operator==(const LyricWord &o) const
    {
        return ms == o.ms && start == o.start && end == o.end;
    }
};

// One timed lyric line, in milliseconds from the song's first sample. An empty text is an
// instrumental break. Lines with word timing carry their words; endMs is the end of the last word
// when the source says so (-1 when unknown).
struct LyricLine
{
    // A stretch of text that starts at a time: a word of a word-timed line, or a whole line.
    struct Piece
    {
        qint64 ms = 0;
        QString text;
    };

    qint64 ms = 0;
    QString text;
    QVector<LyricWord> words;
    qint64 endMs = -1;

    bool isBreak() const { return text.isEmpty(); }

    // Builds a line from its timed pieces in order: the text is their concatenation with the
    // outer white space trimmed and control characters dropped; each piece holding anything but
    // white space becomes a word when wordTimed is set. Times never go backwards within a line:
    // a piece earlier than the one before it takes the earlier piece's time. endMs, if not -1,
    // is the end of the last word (never before its start).
    static LyricLine fromPieces(const QVector<Piece> &pieces, bool wordTimed, qint64 endMs = -1);

    bool operator==(const LyricLine &o) const
    {
        return ms == o.ms && text == o.text && words == o.words && endMs == o.endMs;
    }
};

using LyricSheet = QVector<LyricLine>;

#endif
