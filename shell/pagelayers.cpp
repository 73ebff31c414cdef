#include "pagelayers.h"

#include <QFontMetrics>
#include <QPainter>
#include <QTextLayout>

#include <algorithm>

namespace {

constexpr int mostLayers = 3; // normal, highlight and dimmed

bool sameLines(const QList<PageLayout::Line> &a, const QList<PageLayout::Line> &b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](const PageLayout::Line &x, const PageLayout::Line &y) {
                          return x.start == y.start && x.end == y.end && x.x == y.x &&
                                 x.baseline == y.baseline;
                      });
}

} // namespace

// Copies each line's part from the picture of its colour: nothing is clipped or blended.
void PageLayers::draw(QPainter &painter, const QString &page, const PageLayout &layout,
                      int highlightStart, int highlightEnd, const QColor &normal,
                      const QColor &highlight, const QColor &background)
{
    prepare(page, layout, background, painter.device()->devicePixelRatioF());
    const auto copy = [&](const QImage &from, const QRect &part) {
        if (part.isEmpty())
            return;
        const QRect source((part.topLeft() - box.topLeft()) * ratio, part.size() * ratio);
        painter.drawImage(part, from, source);
    };
    for (int i = 0; i < lineBoxes.size(); ++i) {
        const QRect whole = lineBoxes.at(i).rect;
        if (lines.at(i).end == lines.at(i).start)
            continue;
        const QRect part = lit(i, highlightStart, highlightEnd);
        if (part.isEmpty()) {
            copy(layer(normal), whole);
            continue;
        }
        copy(layer(highlight), part);
        copy(layer(normal), QRect(QPoint(whole.left(), whole.top()),
                                  QPoint(part.left() - 1, whole.bottom())));
        copy(layer(normal), QRect(QPoint(part.right() + 1, whole.top()), whole.bottomRight()));
    }
}

// Keeps the pictures while nothing they show has changed; measures the lines afresh otherwise.
void PageLayers::prepare(const QString &page, const PageLayout &layout, const QColor &background,
                         qreal ratio)
{
    if (page == text && layout.font == font && sameLines(layout.lines, lines) &&
        background.rgb() == this->background && qFuzzyCompare(ratio, this->ratio))
        return;
    text = page;
    font = layout.font;
    lines = layout.lines;
    this->background = background.rgb();
    this->ratio = ratio;
    layers.clear();
    lineBoxes.clear();
    box = QRect();
    const QFontMetrics metrics(font);
    const int margin = metrics.height() / 4 + 1; // slanted and overhanging letters
    int left = INT_MAX;
    int right = INT_MIN;
    for (const PageLayout::Line &line : std::as_const(lines)) {
        left = std::min(left, line.x - margin);
        right = std::max(right, line.x + line.width + margin);
    }
    for (int i = 0; i < lines.size(); ++i) {
        const PageLayout::Line &line = lines.at(i);
        // Lines meet halfway between one's descent and the next one's ascent, so that each
        // pixel belongs to one line.
        const int top = i == 0 ? line.baseline - metrics.ascent() - margin
                               : lineBoxes.last().rect.bottom() + 1;
        const int bottom = i + 1 == lines.size()
                               ? line.baseline + metrics.descent() + margin
                               : (line.baseline + metrics.descent() + lines.at(i + 1).baseline -
                                  metrics.ascent()) / 2;
        LineBox lineBox;
        lineBox.rect = QRect(QPoint(left, top), QPoint(right - 1, bottom));
        QTextLayout shaped(page.mid(line.start, line.end - line.start), font);
        shaped.beginLayout();
        QTextLine textLine = shaped.createLine();
        textLine.setNumColumns(line.end - line.start);
        shaped.endLayout();
        for (int k = 0; k <= line.end - line.start; ++k)
            lineBox.xs.append(textLine.cursorToX(k));
        box |= lineBox.rect;
        lineBoxes.append(lineBox);
    }
}

bool PageLayers::makeLayer(const QColor &colour)
{
    if (box.isEmpty())
        return false;
    for (const Layer &made : std::as_const(layers)) {
        if (made.colour == colour.rgb())
            return false;
    }
    layer(colour);
    return true;
}

const QImage &PageLayers::layer(const QColor &colour)
{
    for (const Layer &made : std::as_const(layers)) {
        if (made.colour == colour.rgb())
            return made.image;
    }
    if (layers.size() >= mostLayers)
        layers.removeFirst();
    QImage image(box.size() * ratio, QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    image.fill(background);
    QPainter painter(&image);
    painter.translate(-box.topLeft());
    drawText(painter, text, {font, lines, 0}, 0, 0, colour, colour);
    painter.end();
    layers.append({colour.rgb(), image});
    return layers.last().image;
}

QRect PageLayers::lit(int line, int highlightStart, int highlightEnd) const
{
    const PageLayout::Line &where = lines.at(line);
    const int from = std::max(highlightStart, where.start);
    const int to = std::min(highlightEnd, where.end);
    if (from >= to)
        return QRect();
    const LineBox &lineBox = lineBoxes.at(line);
    qreal left = where.x + lineBox.xs.at(from - where.start);
    qreal right = where.x + lineBox.xs.at(to - where.start);
    const bool forward = left <= right; // right to left text runs the other way
    if (!forward)
        std::swap(left, right);
    // A wipe from the line's start or to its end takes in the letters' overhang on that side.
    const qreal start = forward ? lineBox.rect.left() : lineBox.rect.right() + 1;
    const qreal end = forward ? lineBox.rect.right() + 1 : lineBox.rect.left();
    if (from == where.start)
        (forward ? left : right) = start;
    if (to == where.end)
        (forward ? right : left) = end;
    return QRect(QPoint(qRound(left), lineBox.rect.top()),
                 QPoint(qRound(right) - 1, lineBox.rect.bottom()));
}

// Each line is shaped once as a whole. A line the highlight covers, or misses, is drawn in one
// colour; on the line being wiped the text layout draws the same glyphs twice, clipped on each
// side of the highlight's edge (right to left lines too), so the shaping of the text never
// changes as the highlight moves, in any script.
void PageLayers::drawText(QPainter &painter, const QString &page, const PageLayout &layout,
                          int highlightStart, int highlightEnd, const QColor &normal,
                          const QColor &highlight)
{
    QTextOption option(Qt::AlignLeft | Qt::AlignAbsolute);
    option.setWrapMode(QTextOption::NoWrap);
    for (const PageLayout::Line &line : layout.lines) {
        if (line.end == line.start)
            continue;
        QTextLayout text(page.mid(line.start, line.end - line.start), layout.font,
                         painter.device());
        text.setTextOption(option);
        text.beginLayout();
        QTextLine textLine = text.createLine();
        textLine.setNumColumns(line.end - line.start);
        text.endLayout();

        const int from = qMax(highlightStart, line.start);
        const int to = qMin(highlightEnd, line.end);
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
