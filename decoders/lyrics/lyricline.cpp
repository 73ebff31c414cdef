#include "lyricline.h"

#include <algorithm>

namespace {

// Control characters and byte-order marks have no place in a displayed line; a tab reads as a
// space.
QString cleaned(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        if (c == QLatin1Char('\t'))
            out.append(QLatin1Char(' '));
        else if (c.unicode() >= 0x20 && c.unicode() != 0x7f && c.unicode() != 0xfeff &&
                 !(c.unicode() >= 0x80 && c.unicode() < 0xa0))
            out.append(c);
    }
    return out;
}

} // namespace

LyricLine LyricLine::fromPieces(const QVector<Piece> &pieces, bool wordTimed, qint64 endMs)
{
    LyricLine line;
    if (pieces.isEmpty())
        return line;
    line.ms = std::max<qint64>(0, pieces.first().ms);

    // Concatenate, remembering where each piece landed and when it starts.
    struct Span
    {
        qint64 ms;
        int start;
        int end;
    };
    QVector<Span> spans;
    QString all;
    qint64 previous = line.ms;
    for (const Piece &piece : pieces) {
        const qint64 ms = std::max(piece.ms, previous);
        previous = ms;
        const int start = all.size();
        all += cleaned(piece.text);
        spans.append({ms, start, int(all.size())});
    }

    int lead = 0;
    while (lead < all.size() && all.at(lead).isSpace())
        ++lead;
    int stop = all.size();
    while (stop > lead && all.at(stop - 1).isSpace())
        --stop;
    line.text = all.mid(lead, stop - lead);
    if (line.text.isEmpty())
        return line; // an instrumental break: no words, no end

    if (wordTimed) {
        for (const Span &span : spans) {
            int start = std::max(span.start, lead);
            int end = std::min(span.end, stop);
            while (start < end && all.at(start).isSpace())
                ++start;
            while (end > start && all.at(end - 1).isSpace())
                --end;
            if (start < end)
                line.words.append({span.ms, start - lead, end - lead});
        }
    }
    if (endMs >= 0)
        line.endMs = std::max(endMs, previous);
    return line;
}
