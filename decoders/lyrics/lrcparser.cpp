#include "lrcparser.h"

#include "lyricsencoding.h"

#include <QByteArray>
#include <QSet>
#include <QString>

#include <algorithm>
#include <optional>

namespace {

constexpr qint64 oneDayMs = 24LL * 60 * 60 * 1000;

// Reads 1..maxDigits decimal digits; nullopt when there are none or too many.
std::optional<qint64> number(QStringView digits, int maxDigits)
{
    if (digits.isEmpty() || digits.size() > maxDigits)
        return std::nullopt;
    qint64 value = 0;
    for (QChar c : digits) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
        value = value * 10 + (c.unicode() - '0');
    }
    return value;
}

// A fraction of a second written with 1 to 9 digits, in milliseconds (beyond three digits the
// rest is dropped).
std::optional<qint64> fraction(QStringView digits)
{
    if (digits.isEmpty() || digits.size() > 9 || !number(digits, 9))
        return std::nullopt;
    qint64 ms = *number(digits.left(3), 3);
    for (qsizetype n = digits.size(); n < 3; ++n)
        ms *= 10;
    return ms;
}

// "[offset:+250]" and the like: the offset in milliseconds, or nullopt for any other tag.
std::optional<qint64> offsetTag(QStringView tag)
{
    const qsizetype colon = tag.indexOf(QLatin1Char(':'));
    if (colon < 0 || tag.left(colon).trimmed().compare(u"offset", Qt::CaseInsensitive) != 0)
        return std::nullopt;
    QStringView value = tag.mid(colon + 1).trimmed();
    bool negative = false;
    if (value.startsWith(QLatin1Char('+')) || value.startsWith(QLatin1Char('-'))) {
        negative = value.front() == QLatin1Char('-');
        value = value.mid(1).trimmed();
    }
    const std::optional<qint64> ms = number(value, 9);
    if (!ms || *ms > oneDayMs)
        return std::nullopt;
    return negative ? -*ms : *ms;
}

// Splits a line's text at its word stamps: the text before the first stamp starts at lineMs,
// every stamp starts a piece. A final stamp followed by nothing but spaces is the end of the
// last word, returned through endMs.
QVector<LyricLine::Piece> wordPieces(QStringView text, qint64 lineMs, bool *wordTimed,
                                     qint64 *endMs)
{
    QVector<LyricLine::Piece> pieces{{lineMs, QString()}};
    *wordTimed = false;
    *endMs = -1;
    qsizetype from = 0;
    while (from < text.size()) {
        const qsizetype open = text.indexOf(QLatin1Char('<'), from);
        if (open < 0)
            break;
        const qsizetype close = text.indexOf(QLatin1Char('>'), open + 1);
        if (close < 0)
            break;
        const qint64 ms = LrcParser::parseStamp(text.mid(open + 1, close - open - 1));
        if (ms < 0) { // "<3", "<i>": ordinary text
            pieces.last().text += text.mid(from, close + 1 - from);
            from = close + 1;
            continue;
        }
        pieces.last().text += text.mid(from, open - from);
        pieces.append({ms, QString()});
        *wordTimed = true;
        from = close + 1;
    }
    pieces.last().text += text.mid(from);
    if (*wordTimed && pieces.last().text.trimmed().isEmpty()) {
        *endMs = pieces.last().ms;
        pieces.removeLast();
    }
    return pieces;
}

} // namespace

qint64 LrcParser::parseStamp(QStringView stamp)
{
    stamp = stamp.trimmed();
    // Fields split at ':' with an optional fraction after '.' or ','.
    QStringView whole = stamp;
    QStringView frac;
    qsizetype dot = stamp.indexOf(QLatin1Char('.'));
    if (dot < 0)
        dot = stamp.indexOf(QLatin1Char(','));
    if (dot >= 0) {
        whole = stamp.left(dot);
        frac = stamp.mid(dot + 1);
        if (!fraction(frac))
            return -1;
    }
    QVector<QStringView> fields;
    qsizetype from = 0;
    for (;;) {
        const qsizetype colon = whole.indexOf(QLatin1Char(':'), from);
        fields.append(whole.mid(from, colon < 0 ? -1 : colon - from));
        if (colon < 0 || fields.size() > 3)
            break;
        from = colon + 1;
    }

    qint64 hours = 0, minutes = 0, seconds = 0, ms = 0;
    if (fields.size() == 2) { // mm:ss[.xx]
        const auto m = number(fields[0], 4);
        const auto s = number(fields[1], 2);
        if (!m || !s)
            return -1;
        minutes = *m;
        seconds = *s;
        ms = frac.isNull() ? 0 : *fraction(frac);
    } else if (fields.size() == 3 && frac.isNull()) { // mm:ss:xx, the last field in hundredths
        const auto m = number(fields[0], 4);
        const auto s = number(fields[1], 2);
        const auto f = fraction(fields[2]);
        if (!m || !s || !f || fields[2].size() > 3)
            return -1;
        minutes = *m;
        seconds = *s;
        ms = *f;
    } else if (fields.size() == 3) { // h:mm:ss.xx
        const auto h = number(fields[0], 2);
        const auto m = number(fields[1], 2);
        const auto s = number(fields[2], 2);
        if (!h || !m || !s || *m >= 60)
            return -1;
        hours = *h;
        minutes = *m;
        seconds = *s;
        ms = *fraction(frac);
    } else {
        return -1;
    }
    if (seconds >= 60)
        return -1;
    return ((hours * 60 + minutes) * 60 + seconds) * 1000 + ms;
}

LyricSheet LrcParser::parse(const QByteArray &bytes)
{
    return parse(LyricsEncoding::decode(bytes));
}

LyricSheet LrcParser::parse(const QString &text)
{
    LyricSheet sheet;
    std::optional<qint64> offset;
    qsizetype textBudget = maxSheetText;

    qsizetype lineStart = 0;
    while (lineStart <= text.size() && textBudget > 0) {
        qsizetype lineEnd = lineStart;
        while (lineEnd < text.size() && text.at(lineEnd) != QLatin1Char('\n') &&
               text.at(lineEnd) != QLatin1Char('\r'))
            ++lineEnd;
        const QStringView line = QStringView(text).mid(lineStart, lineEnd - lineStart);
        // "\r\n", a lone "\r" and "\n" all end a line.
        lineStart = lineEnd + 1;
        if (lineEnd < text.size() && text.at(lineEnd) == QLatin1Char('\r') &&
            lineEnd + 1 < text.size() && text.at(lineEnd + 1) == QLatin1Char('\n'))
            ++lineStart;

        // Leading stamps, after any spaces and stray byte-order marks.
        QVector<qint64> stamps;
        qsizetype pos = 0;
        bool header = false;
        for (;;) {
            while (pos < line.size() &&
                   (line.at(pos).isSpace() || line.at(pos).unicode() == 0xfeff))
                ++pos;
            if (pos >= line.size() || line.at(pos) != QLatin1Char('['))
                break;
            const qsizetype close = line.indexOf(QLatin1Char(']'), pos + 1);
            if (close < 0)
                break;
            const QStringView inside = line.mid(pos + 1, close - pos - 1);
            const qint64 ms = parseStamp(inside);
            if (ms < 0) {
                // A tag before any stamp makes a header line; after stamps it is text
                // ("[00:12.00][Chorus] ...").
                if (stamps.isEmpty()) {
                    header = true;
                    if (!offset)
                        offset = offsetTag(inside);
                }
                break;
            }
            stamps.append(ms);
            pos = close + 1;
        }
        if (header || stamps.isEmpty())
            continue;

        // Repeated lines keep their word timing relative to the line's first stamp.
        bool wordTimed = false;
        qint64 endMs = -1;
        const QVector<LyricLine::Piece> pieces =
            wordPieces(line.mid(pos), stamps.first(), &wordTimed, &endMs);
        QSet<qint64> seen;
        for (qint64 stamp : std::as_const(stamps)) {
            if (seen.contains(stamp)) // "[00:10][00:10]" says it once
                continue;
            seen.insert(stamp);
            const qint64 shift = stamp - stamps.first();
            QVector<LyricLine::Piece> shifted = pieces;
            for (LyricLine::Piece &piece : shifted)
                piece.ms += shift;
            LyricLine timed =
                LyricLine::fromPieces(shifted, wordTimed, endMs < 0 ? -1 : endMs + shift);
            textBudget -= timed.text.size() + 1;
            if (textBudget < 0)
                break;
            sheet.append(timed);
        }
    }

    // The offset applies once, to every time in the file, wherever its tag stood.
    if (offset && *offset != 0) {
        auto moved = [&](qint64 ms) { return std::max<qint64>(0, ms - *offset); };
        for (LyricLine &line : sheet) {
            line.ms = moved(line.ms);
            for (LyricWord &word : line.words)
                word.ms = moved(word.ms);
            if (line.endMs >= 0)
                line.endMs = moved(line.endMs);
        }
    }
    std::stable_sort(sheet.begin(), sheet.end(),
                     [](const LyricLine &a, const LyricLine &b) { return a.ms < b.ms; });
    return sheet;
}
