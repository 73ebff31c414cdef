#ifndef LYRICSSCREENPAINTER_H
#define LYRICSSCREENPAINTER_H

#include <QtGlobal>

class QPainter;
class QRect;

// Something that may draw the lyrics area instead of the page (a graphics screen that some
// songs carry). The lyrics display asks it first at every drawing; the on-stage notices are
// drawn over whatever it drew. Ask the display to redraw when the picture changes.
// GUI thread only.
class LyricsScreenPainter
{
public:
    virtual ~LyricsScreenPainter() = default;
    // Paints all of area (logical pixels, already filled with the background colour) and returns
    // true, or paints nothing and returns false to leave the area to the page.
    virtual bool paintScreen(QPainter &painter, const QRect &area) = 0;
    // Paints over what the area shows (a badge in a corner, say), under the notices.
    virtual void paintOverlay(QPainter &painter, const QRect &area)
    {
        Q_UNUSED(painter);
        Q_UNUSED(area);
    }
};

#endif // LYRICSSCREENPAINTER_H
