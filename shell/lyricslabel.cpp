#include "lyricslabel.h"

#include "lyricsdata.h"
#include "preferences.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QTextBoundaryFinder>
#include <QTextLayout>

namespace {

constexpr int smallestPointSize = 5; // at or below this a page is drawn as it stands
constexpr int shrinkStep = 4;        // points taken off per layout pass

} // namespace

LyricsLabel::LyricsLabel(QWidget *parent, Qt::WindowFlags flags) : QLabel(parent, flags)
{
    setUp();
}

LyricsLabel::LyricsLabel(const QString &text, QWidget *parent, Qt::WindowFlags flags)
    : QLabel(text, parent, flags)
{
    setUp();
}

void LyricsLabel::setUp()
{
    const Preferences *preferences = Preferences::Instance();
    resize(preferences->mainWindowWidth(), preferences->mainWindowHeight());
    setFrameStyle(QFrame::Panel);
    setAlignment(Qt::AlignCenter);
    // The picture follows the label's size, never the other way round: a label would otherwise
    // ask for the size of the picture it shows, and the window could not shrink.
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    // The picture covers everything inside the frame, so the label paints no background first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    ScreenRedraw(nullptr);
}

void LyricsLabel::ScreenRedraw(LyricsData *data)
{
    currentData = data;
    ScreenRedraw();
}

void LyricsLabel::ScreenRedraw()
{
    const Preferences *preferences = Preferences::Instance();
    QPixmap &pixmap = preparedBackPixmap(preferences->backgroundColor());
    if (currentData && !pixmap.isNull()) {
        const PageLayout layout =
            layOut(currentData->text, preferences->lyricsFont(), contentsRect().size(), &pixmap);
        QPainter painter(&pixmap);
        drawPage(painter, *currentData, layout, preferences->normalColor(),
                 preferences->highlightColor());
    }
    setPixmap(pixmap);
    back = 1 - back;
}

// The picture is drawn for what the label shows, so it follows the label's size.
void LyricsLabel::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    ScreenRedraw();
}

// After a move to a screen of another pixel density the picture is drawn again for it first.
void LyricsLabel::paintEvent(QPaintEvent *event)
{
    if (!qFuzzyCompare(pixmap().devicePixelRatio(), devicePixelRatioF()))
        ScreenRedraw();
    QLabel::paintEvent(event);
}

void LyricsLabel::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        emit doubleClicked();
    QLabel::mouseDoubleClickEvent(event);
}

// The pixmap not on show, sized to the area inside the frame in device pixels (sharp text on
// high-density screens) and filled with the background. Reallocated only when that size changes.
QPixmap &LyricsLabel::preparedBackPixmap(const QColor &background)
{
    const qreal ratio = devicePixelRatioF();
    const QSize pixels = contentsRect().size().expandedTo(QSize(0, 0)) * ratio;
    QPixmap &pixmap = pixmaps[back];
    if (pixmap.size() != pixels)
        pixmap = QPixmap(pixels);
    pixmap.setDevicePixelRatio(ratio);
    if (!pixmap.isNull())
        pixmap.fill(background);
    return pixmap;
}

// Breaks lines that are too wide and shrinks the font until the page fits the area with a line
// to spare, or until the font reaches the smallest size, where the page is taken as it stands.
LyricsLabel::PageLayout LyricsLabel::layOut(const QString &pageText, QFont font, QSize area,
                                            const QPaintDevice *device)
{
    QString text = pageText; // spaces the fitting breaks at become line feeds
    QList<bool> breaksBefore(text.size() + 1, false); // breaks that use up no character
    bool shrinkNext = false;
    bool gaveUp = false;
    QList<Line> lines;
    for (;;) {
        if (shrinkNext) {
            shrinkNext = false;
            gaveUp = !shrink(font);
            text = pageText; // a smaller font fits more on a line: break afresh
            breaksBefore.fill(false);
        }
        const QFontMetrics metrics(font, device);
        lines = splitLines(text, breaksBefore);
        for (Line &line : lines)
            line.width = metrics.horizontalAdvance(text.mid(line.start, line.end - line.start));
        if (gaveUp)
            break;
        if ((lines.size() + 1) * metrics.lineSpacing() > area.height()) {
            shrinkNext = true;
            continue;
        }
        bool broken = false;
        for (const Line &line : std::as_const(lines)) {
            if (line.width <= area.width())
                continue;
            broken = true;
            if (!breakLine(text, breaksBefore, line, metrics, area.width())) {
                shrinkNext = true;
                break;
            }
        }
        if (!broken)
            break;
    }
    placeLines(lines, QFontMetrics(font, device).lineSpacing(), area);
    return {font, lines};
}

// Centres each line across the area and the block of lines down it.
void LyricsLabel::placeLines(QList<Line> &lines, int spacing, QSize area)
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
bool LyricsLabel::shrink(QFont &font)
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
QList<LyricsLabel::Line> LyricsLabel::splitLines(const QString &text,
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
// there, or else at the last place Unicode allows a break (between ideographs, after a hyphen),
// so that Chinese and Japanese lines wrap instead of shrinking. False when not even one
// character fits or there is no such place.
bool LyricsLabel::breakLine(QString &text, QList<bool> &breaksBefore, const Line &line,
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
    QTextBoundaryFinder finder(QTextBoundaryFinder::Line,
                               text.mid(line.start, line.end - line.start));
    finder.setPosition(fits - line.start);
    const int at = finder.isAtBoundary() ? finder.position() : finder.toPreviousBoundary();
    if (at <= 0)
        return false;
    breaksBefore[line.start + at] = true;
    return true;
}

// Each line is shaped once as a whole. A line the highlight covers, or misses, is drawn in one
// colour; on the line being wiped the text layout draws the same glyphs twice, clipped on each
// side of the highlight's edge (right to left lines too), so the shaping of the text never
// changes as the highlight moves, in any script.
void LyricsLabel::drawPage(QPainter &painter, const LyricsData &data, const PageLayout &layout,
                           const QColor &normal, const QColor &highlight) const
{
    QTextOption option(Qt::AlignLeft | Qt::AlignAbsolute);
    option.setWrapMode(QTextOption::NoWrap);
    for (const Line &line : layout.lines) {
        if (line.end == line.start)
            continue;
        QTextLayout text(data.text.mid(line.start, line.end - line.start), layout.font,
                         painter.device());
        text.setTextOption(option);
        text.beginLayout();
        QTextLine textLine = text.createLine();
        textLine.setNumColumns(line.end - line.start);
        text.endLayout();

        const int from = qMax(data.highlightStart, line.start);
        const int to = qMin(data.highlightEnd, line.end);
        const bool whole = from == line.start && to == line.end;
        painter.setPen(whole ? highlight : normal);
        QList<QTextLayout::FormatRange> wiped;
        if (from < to && !whole) {
            QTextLayout::FormatRange range;
            range.start = from - line.start;
            range.length = to - from;
            range.format.setForeground(highlight);
            wiped.append(range);
        }
        text.draw(&painter, QPointF(line.x, line.baseline - textLine.ascent()), wiped);
    }
}
