#ifndef STAGEPAINTER_H
#define STAGEPAINTER_H

#include <QColor>
#include <QFont>
#include <QRect>

class QPainter;
class QString;

// Draws what the lyrics area shows besides the page: centred cards (a title with lines under
// it), the countdown marks before the singing, and short notices in a corner. Sizes follow the
// area, so a card reads the same in the window and on a television. GUI thread only.
class StagePainter
{
public:
    StagePainter(QPainter &painter, const QRect &area, const QFont &font, const QColor &normal,
                 const QColor &highlight, const QColor &background);

    // The title large, the subtitle under it, and a note small and dimmed below; empty lines
    // are left out. The whole card is centred in the area.
    void card(const QString &title, const QString &subtitle, const QString &note = QString());
    // marks dots (of 3 places) in the highlight colour, centred across the area, their centre
    // line at y.
    void countdown(int marks, int y, int lineSpacing);
    // A short text on a dim plate in the top right corner.
    void notice(const QString &text);
    // The normal colour halfway to the background: coming pages and notes.
    QColor dimmed() const;

private:
    // The font at heightShare of the area's height but at least readable pixels, smaller if text
    // would not fit 90 % of its width.
    QFont sized(const QString &text, double heightShare, int readable) const;

    QPainter &painter;
    QRect area;
    QFont font;
    QColor normal;
    QColor highlight;
    QColor background;
};

#endif // STAGEPAINTER_H
