#include "pagelayout.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QTextBoundaryFinder>

#include <algorithm>

namespace {

constexpr int smallestPointSize = 5; // at or below this a shrunk page is drawn as it stands
constexpr int shrinkStep = 4;        // points taken off per layout pass
constexpr double stageWidthShare = 0.9;
constexpr double stageHeightShare = 0.8;
constexpr double smallestHeightShare = 0.03; // the readable minimum on the stage
// Short pages grow no further than a page of four lines would: a word alone does not fill the
// screen.
constexpr double largestHeightShare = 0.16;

} // namespace

struct PageLayout::Breaks
{
    QString text;             // spaces the fitting breaks at become line feeds
    QList<bool> breaksBefore; // breaks that use up no character

    void reset(const QString &pageText)
    {
        text = pageText;
        breaksBefore = QList<bool>(pageText.size() + 1, false);
    }
};

int PageLayout::minimumPixelSize(int areaHeight)
{
    return std::max(1, qRound(areaHeight * smallestHeightShare));
}

// Breaks lines that are too wide and shrinks the font until the page fits the area with a line
// to spare, or until the font reaches the smallest size, where the page is taken as it stands.
PageLayout PageLayout::shrunk(const QString &pageText, QFont font, QSize area,
                              const QPaintDevice *device)
{
    Breaks breaks;
    breaks.reset(pageText);
    bool shrinkNext = false;
    bool gaveUp = false;
    QList<Line> lines;
    for (;;) {
        if (shrinkNext) {
            shrinkNext = false;
            gaveUp = !shrink(font);
            breaks.reset(pageText); // a smaller font fits more on a line: break afresh
        }
        const QFontMetrics metrics(font, device);
        lines = splitLines(breaks.text, breaks.breaksBefore);
        for (Line &line : lines)
            line.width =
                metrics.horizontalAdvance(breaks.text.mid(line.start, line.end - line.start));
        if (gaveUp)
            break;
        if ((lines.size() + 1) * metrics.lineSpacing() > area.height()) {
            shrinkNext = true;
            continue;
        }
        const bool tooWide = std::any_of(lines.cbegin(), lines.cend(), [&](const Line &line) {
            return line.width > area.width();
        });
        if (!tooWide)
            break;
        shrinkNext = !breakWideLines(breaks, lines, metrics, area.width());
    }
    const int spacing = QFontMetrics(font, device).lineSpacing();
    placeLines(lines, spacing, area);
    return {font, lines, spacing};
}

// The page's own lines keep together when that costs little: at the readable minimum or larger,
// and at no less than three quarters of the size that breaking them further would allow (one
// long line then wraps rather than making the whole page small). A page that fits at no size
// from the minimum up is laid out at the minimum, broken, and may overflow.
PageLayout PageLayout::fitted(const QString &pageText, QFont font, QSize area,
                              const QPaintDevice *device)
{
    const QSize room(int(area.width() * stageWidthShare), int(area.height() * stageHeightShare));
    const int smallest = minimumPixelSize(area.height());
    const int largest = std::max(smallest, int(area.height() * largestHeightShare));
    Breaks breaks;
    QList<Line> lines;
    // Halves towards the largest size that fits; -1 when none does.
    const auto largestFitting = [&](bool breakLines) {
        int best = -1;
        int low = smallest;
        int high = largest;
        while (low <= high) {
            const int middle = (low + high) / 2;
            font.setPixelSize(middle);
            if (fitsAt(pageText, font, room, device, breakLines, breaks, lines)) {
                best = middle;
                low = middle + 1;
            } else {
                high = middle - 1;
            }
        }
        return best;
    };
    const int whole = largestFitting(false);
    const int broken = largestFitting(true);
    const bool keepWhole = whole > 0 && whole * 4 >= broken * 3;
    font.setPixelSize(keepWhole ? whole : std::max(broken, smallest));
    fitsAt(pageText, font, room, device, !keepWhole, breaks, lines);
    const int spacing = QFontMetrics(font, device).lineSpacing();
    placeLines(lines, spacing, area);
    return {font, lines, spacing};
}

// Lays the page out in font within room, breaking too wide lines if breakLines is set; lines
// holds the result, fitting or not.
bool PageLayout::fitsAt(const QString &pageText, QFont &font, QSize room,
                        const QPaintDevice *device, bool breakLines, Breaks &breaks,
                        QList<Line> &lines)
{
    const QFontMetrics metrics(font, device);
    breaks.reset(pageText);
    for (;;) {
        lines = splitLines(breaks.text, breaks.breaksBefore);
        if (lines.size() * metrics.lineSpacing() > room.height())
            return false;
        bool tooWide = false;
        for (Line &line : lines) {
            line.width =
                metrics.horizontalAdvance(breaks.text.mid(line.start, line.end - line.start));
            tooWide = tooWide || line.width > room.width();
        }
        if (!tooWide)
            return true;
        if (!breakLines || !breakWideLines(breaks, lines, metrics, room.width()))
            return false;
    }
}

// Breaks each line wider than width once; false when one of them cannot be broken.
bool PageLayout::breakWideLines(Breaks &breaks, QList<Line> &lines, const QFontMetrics &metrics,
                                int width)
{
    for (const Line &line : std::as_const(lines)) {
        if (line.width > width &&
            !breakLine(breaks.text, breaks.breaksBefore, line, metrics, width))
            return false;
    }
    return true;
}

// Centres each line across the area and the block of lines down it.
void PageLayout::placeLines(QList<Line> &lines, int spacing, QSize area)
{
    int baseline = (area.height() - spacing * int(lines.size())) / 2 + int(0.7 * spacing);
    for (Line &line : lines) {
        line.x = (area.width() - line.width) / 2;
        line.baseline = baseline;
        baseline += spacing;
    }
}

// Takes 4 points off, more while the font the system finds is no smaller (fixed-size fonts).
// False once the size reaches 5 points or less.
bool PageLayout::shrink(QFont &font)
{
    const int actual = QFontInfo(font).pointSize();
    int points = font.pointSize();
    if (points <= 0 || points > actual) // a pixel-sized font, or one that only comes smaller
        points = actual;
    int found = actual;
    while (found >= actual && points > smallestPointSize) {
        points -= shrinkStep;
        font.setPointSize(points);
        found = QFontInfo(font).pointSize();
    }
    return points > smallestPointSize;
}

// Lines end at line feeds (which are not drawn) and before the places marked in breaksBefore.
QList<PageLayout::Line> PageLayout::splitLines(const QString &text,
                                               const QList<bool> &breaksBefore)
{
    QList<Line> lines;
    int start = 0;
    for (int k = 0; k < text.size(); ++k) {
        if (text.at(k) == QLatin1Char('\n')) {
            lines.append({start, k});
            start = k + 1;
        } else if (breaksBefore.at(k) && k > start) {
            lines.append({start, k});
            start = k;
        }
    }
    lines.append({start, int(text.size())});
    return lines;
}

// Breaks a line that is too wide within its longest beginning that fits: at the last space
// there, else at the last place Unicode allows a line break (between ideographs, after a
// hyphen), so that Chinese and Japanese lines wrap instead of shrinking, else between the last
// two characters that fit, so that one long word wraps too. False when not even one character
// fits.
bool PageLayout::breakLine(QString &text, QList<bool> &breaksBefore, const Line &line,
                           const QFontMetrics &metrics, int width)
{
    // A run grows with its length, so halve towards the longest one that fits.
    int fits = line.start;
    int tooWide = line.end;
    while (tooWide - fits > 1) {
        const int middle = (fits + tooWide) / 2;
        if (metrics.horizontalAdvance(text.mid(line.start, middle - line.start)) <= width)
            fits = middle;
        else
            tooWide = middle;
    }
    if (fits == line.start)
        return false;
    for (int k = fits; k >= line.start; --k) {
        if (text.at(k) == QLatin1Char(' ')) {
            text[k] = QLatin1Char('\n');
            return true;
        }
    }
    const QString lineText = text.mid(line.start, line.end - line.start);
    for (const auto kind : {QTextBoundaryFinder::Line, QTextBoundaryFinder::Grapheme}) {
        QTextBoundaryFinder finder(kind, lineText);
        finder.setPosition(fits - line.start);
        const int at = finder.isAtBoundary() ? finder.position() : finder.toPreviousBoundary();
        if (at > 0) {
            breaksBefore[line.start + at] = true;
            return true;
        }
    }
    return false;
}
