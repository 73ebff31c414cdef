#ifndef SCREENLIMITS_H
#define SCREENLIMITS_H

#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>

// What window sizes and places the connected screens can show, for checking those a preferences
// file holds: a damaged or foreign file may hold any number, and a window 2^31 pixels wide would
// have its whole picture allocated. A size fits when it is positive and at most four times the
// largest screen's; a place when it lies on some screen (a window's frame may stand a little
// off its top left). Without a screen (no GUI) a screen of 7680 x 4320 at 0, 0 is assumed.
// GUI thread, as the screens are.
class ScreenLimits
{
public:
    ScreenLimits();

    bool widthFits(int width) const;
    bool heightFits(int height) const;
    bool onSomeScreen(QPoint place) const;

private:
    QList<QRect> screens;
    QSize largest;
};

#endif // SCREENLIMITS_H
