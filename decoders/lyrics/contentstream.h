#ifndef CONTENTSTREAM_H
#define CONTENTSTREAM_H

#include "displayevent.h"

#include <QVector>

// A song's lyrics as the content stream: two bytes for every frame, frame n's bytes depending
// only on n, scheduled so that each event takes effect exactly at its frame where two bytes per
// frame allow it, and otherwise as early as they allow (CONTENT-FORMAT.md).
class ContentStream
{
public:
    // Where one event of the timeline ended up.
    struct ScheduledEvent
    {
        DisplayEvent event;      // as sent: page text cut to the stream's page limit
        qint32 wantedFrame = 0;  // the frame its time belongs to
        qint32 frame = 0;        // the frame at which the display shows it (or its successor)
        // replaced before it was seen: a highlight by what fell due in the same frame, or a page
        // (with its highlights) dropped because the page after it was due before it could be
        bool superseded = false;

        qint32 lateBy() const { return frame - wantedFrame; }
    };

    ContentStream() = default;
    // Schedules a timeline; events are taken in time order (ties keep their order).
    static ContentStream encode(const DisplayTimeline &timeline);

    // Frame n's two bytes (first frame 1); 00 00 before frame 1 and after the stream.
    void frameBytes(qint32 frame, quint8 out[2]) const;
    // The first frame after this one that carries something; std::numeric_limits<qint32>::max()
    // when none does. Lets a reader skip the idle frames between.
    qint32 nextBusyFrame(qint32 after) const;
    // The last frame that carries something (0 for an empty stream); every later one is 00 00.
    qint32 frameCount() const { return units.isEmpty() ? 0 : units.constLast().frame; }
    // One entry per timeline event, in time order.
    const QVector<ScheduledEvent> &events() const { return scheduled; }

private:
    // A frame whose bytes are not 00 00. Kept sparse: far-off times cost no memory.
    struct Unit
    {
        qint32 frame = 0;
        quint8 b0 = 0;
        quint8 b1 = 0;
    };

    QVector<Unit> units; // in frame order
    QVector<ScheduledEvent> scheduled;
};

#endif
