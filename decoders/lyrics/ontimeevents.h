#ifndef ONTIMEEVENTS_H
#define ONTIMEEVENTS_H

#include "contentstream.h"

// What a display fed from a content stream needs besides the stream to be on time. Two bytes a
// frame cannot carry a page's text ahead of every event: the first page's text follows the
// header, and words faster than the stream delay or drop pages. Whoever has the song's lyrics as
// well (the content library reads them when a song opens) gives those events on their own frames
// from here, and skips the stream's later repeat of them.
class OnTimeEvents
{
public:
    OnTimeEvents() = default;
    explicit OnTimeEvents(const ContentStream &stream);

    // The events that belong to frames up to this one but reach the display later through the
    // stream, or never; each given once, in order. Call with every frame in order from 1.
    QVector<DisplayEvent> takeLateUpTo(qint32 frame);
    // The frame the next event not yet given belongs to; std::numeric_limits<qint32>::max()
    // when all were given. Until then takeLateUpTo gives nothing.
    qint32 nextWantedFrame() const;
    // Whether the stream's unit at this frame brings only events takeLateUpTo gave already.
    bool onlyRepeatsAt(qint32 frame) const;

private:
    QVector<ContentStream::ScheduledEvent> events; // in time order, so in frame order both ways
    int next = 0;                                  // first event not yet looked at
};

#endif
