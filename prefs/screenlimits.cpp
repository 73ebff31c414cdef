#include "screenlimits.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>

namespace {

constexpr int sizeFactor = 4;
constexpr int frameMargin = 100; // how far a window's frame may stand off a screen's top left
const QRect assumedScreen(0, 0, 7680, 4320);

} // namespace

ScreenLimits::ScreenLimits()
{
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        for (const QScreen *screen : QGuiApplication::screens())
            screens << screen->geometry();
    }
    if (screens.isEmpty())
        screens << assumedScreen;
    for (const QRect &screen : std::as_const(screens))
        largest = largest.expandedTo(screen.size());
}

bool ScreenLimits::widthFits(int width) const
{
    return width > 0 && qint64(width) <= qint64(sizeFactor) * largest.width();
}

bool ScreenLimits::heightFits(int height) const
{
    return height > 0 && qint64(height) <= qint64(sizeFactor) * largest.height();
}

bool ScreenLimits::onSomeScreen(QPoint place) const
{
    return std::any_of(screens.begin(), screens.end(), [place](const QRect &screen) {
        return screen.adjusted(-frameMargin, -frameMargin, 0, 0).contains(place);
    });
}
