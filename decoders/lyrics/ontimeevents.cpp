#include "ontimeevents.h"

#include <algorithm>
#include <limits>

OnTimeEvents::OnTimeEvents(const ContentStream &stream) : events(stream.events()) {}

QVector<DisplayEvent> OnTimeEvents::takeLateUpTo(qint32 frame)
{
    QVector<DisplayEvent> late;
    for (; next < events.size() && events[next].wantedFrame <= frame; ++next) {
        if (events[next].lateBy() > 0)
            late.append(events[next].event);
    }
    return late;
}

bool OnTimeEvents::onlyRepeatsAt(qint32 frame) const
{
    // Events go out in order, so the stream frames they reach the display on never decrease.
    auto it = std::lower_bound(
        events.cbegin(), events.cend(), frame,
        [](const ContentStream::ScheduledEvent &e, qint32 f) { return e.frame < f; });
    if (it == events.cend() || it->frame != frame)
        return false;
    for (; it != events.cend() && it->frame == frame; ++it) {
        if (it->lateBy() == 0)
            return false; // something of this frame is new: the stream's unit shows it
    }
    return true;
}

qint32 OnTimeEvents::nextWantedFrame() const
{
    return next < events.size() ? events[next].wantedFrame : std::numeric_limits<qint32>::max();
}
