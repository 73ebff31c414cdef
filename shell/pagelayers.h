#ifndef PAGELAYERS_H
#define PAGELAYERS_H

#include "pagelayout.h"

#include <QColor>
#include <QImage>
#include <QList>
#include <QRect>
#include <QString>

class QPainter;

// A page in large letters drawn fast: text larger than the glyph cache holds is filled as
// outlines, far too slowly to redraw at every step of a wipe. So the page is drawn once per
// colour into a picture of its lines on the background, and each redraw copies the part of each
// line the highlight covers from the highlight colour's picture and the rest from the normal
// colour's. Pictures are made when first needed and kept while the page, layout, colours and
// pixel density stay. GUI thread only.
class PageLayers
{
public:
    // Draws page as laid out, [highlightStart, highlightEnd) in highlight and the rest in normal.
    void draw(QPainter &painter, const QString &page, const PageLayout &layout,
              int highlightStart, int highlightEnd, const QColor &normal, const QColor &highlight,
              const QColor &background);

    // Makes the picture of the page last drawn in colour unless it is there; true if it made it.
    // For idle moments, so that the next colour the page needs is ready when it is needed.
    bool makeLayer(const QColor &colour);

    // Draws the lines directly, each shaped once as a whole: the layers' pictures, and the
    // window's small letters.
    static void drawText(QPainter &painter, const QString &page, const PageLayout &layout,
                         int highlightStart, int highlightEnd, const QColor &normal,
                         const QColor &highlight);

private:
    struct Layer
    {
        QRgb colour = 0;
        QImage image; // the lines' box, in device pixels
    };
    // Where a line lies and where each of its character positions falls across it.
    struct LineBox
    {
        QRect rect;
        QList<qreal> xs; // from the line's x, for positions start to end
    };

    void prepare(const QString &page, const PageLayout &layout, const QColor &background,
                 qreal ratio);
    const QImage &layer(const QColor &colour);
    // The part of line the highlight covers, in area coordinates; empty when none.
    QRect lit(int line, int highlightStart, int highlightEnd) const;

    QString text;
    QFont font;
    QList<PageLayout::Line> lines;
    QRgb background = 0;
    qreal ratio = 0;
    QRect box; // all lines, in area coordinates
    QList<LineBox> lineBoxes;
    QList<Layer> layers;
};

#endif // PAGELAYERS_H
