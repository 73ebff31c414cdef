#ifndef CONTENTTIMELINE_H
#define CONTENTTIMELINE_H

#include "contentformat.h"
#include "contentstream.h"
#include "frametiming.h"

#include <QStringList>

// Shorthands for the content-stream tests: timelines written as pages and wipes, what a display
// sees written one line per change ("7 page "text"", "9 highlight 0-3"), a stream's bytes.
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

inline QString describe(qint32 frame, const DisplayEvent &e)
{
    if (e.kind == DisplayEvent::Kind::Page)
        return QStringLiteral("%1 page \"%2\"").arg(frame).arg(e.page);
    return QStringLiteral("%1 highlight %2-%3")
        .arg(frame)
        .arg(e.highlightStart)
        .arg(e.highlightEnd);
}

// the timeline as a display sees it when every event is on its frame
inline QStringList onTime(const DisplayTimeline &timeline)
{
    QStringList out;
    for (const DisplayEvent &e : timeline)
        out << describe(FrameTiming::frameForMs(e.ms), e);
    return out;
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
