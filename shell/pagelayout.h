#ifndef PAGELAYOUT_H
#define PAGELAYOUT_H

#include <QFont>
#include <QList>
#include <QSize>
#include <QString>

class QFontMetrics;
class QPaintDevice;

// Where each line of a lyrics page goes and in which font. Lines are broken where a line feed
// stands, and a line too wide for the area at its last space, else at the last place Unicode
// allows a line break, else between two characters (grapheme clusters, never inside one). In the
// window the lyrics font shrinks until the page fits; fitted to the stage, the page takes the
// largest size at which it fits about 90 % of the width and 80 % of the height, its own lines
// unbroken when breaking them would gain little, and never below a readable minimum. The result depends only on the text, font, area and device, so a page
// keeps one size while it is sung.
class PageLayout
{
public:
    // [start, end) of the page's text; the character at end, if a line feed or a space the
    // fitting turned into a break, is not drawn.
    struct Line
    {
        int start = 0;
        int end = 0;
        int width = 0;
        int x = 0;
        int baseline = 0;
    };

    // The lyrics font, shrunk by 4 points at a time until the page fits with a line to spare.
    static PageLayout shrunk(const QString &pageText, QFont font, QSize area,
                             const QPaintDevice *device);
    // The largest pixel size at which the page fits the stage's share of area.
    static PageLayout fitted(const QString &pageText, QFont font, QSize area,
                             const QPaintDevice *device);

    // The smallest text on the stage, in pixels, for an area of the given height.
    static int minimumPixelSize(int areaHeight);

    QFont font;
    QList<Line> lines;
    int lineSpacing = 0;

private:
    struct Breaks; // the text being broken and where its breaks fall

    static bool breakWideLines(Breaks &breaks, QList<Line> &lines, const QFontMetrics &metrics,
                               int width);
    static bool fitsAt(const QString &pageText, QFont &font, QSize room,
                       const QPaintDevice *device, bool breakLines, Breaks &breaks,
                       QList<Line> &lines);
    static void placeLines(QList<Line> &lines, int spacing, QSize area);
    static bool shrink(QFont &font);
    static QList<Line> splitLines(const QString &text, const QList<bool> &breaksBefore);
    static bool breakLine(QString &text, QList<bool> &breaksBefore, const Line &line,
                          const QFontMetrics &metrics, int width);
};

#endif // PAGELAYOUT_H
