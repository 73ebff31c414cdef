#ifndef CONTENTTIMELINE_H
#define CONTENTTIMELINE_H

#include "contentstream.h"

// Shorthands for the content-stream tests: timelines written as pages and wipes, and a stream's
// bytes frame by frame.
namespace ContentTimeline {

inline DisplayEvent page(qint64 ms, const QString &text)
{
    DisplayEvent e;
    e.kind = DisplayEvent::Kind::Page;
    e.ms = ms;
    e.page = text;
    return e;
}

inline DisplayEvent wipe(qint64 ms, int start, int end)
{
    DisplayEvent e;
    e.kind = DisplayEvent::Kind::Highlight;
    e.ms = ms;
    e.highlightStart = start;
    e.highlightEnd = end;
    return e;
}

// a karaoke wipe: from the start of the page to end
inline DisplayEvent wipe(qint64 ms, int end)
{
    return wipe(ms, 0, end);
}

// frames 1..frameCount(), two bytes each
inline QByteArray streamBytes(const ContentStream &stream)
{
    QByteArray out;
    for (qint32 frame = 1; frame <= stream.frameCount(); ++frame) {
        quint8 b[2];
        stream.frameBytes(frame, b);
        out.append(char(b[0])).append(char(b[1]));
    }
    return out;
}

} // namespace ContentTimeline

#endif
