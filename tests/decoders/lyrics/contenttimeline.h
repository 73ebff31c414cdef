#ifndef CONTENTTIMELINE_H
#define CONTENTTIMELINE_H

#include "contentformat.h"
#include "contentstream.h"
#include "frametiming.h"

// Timelines written as pages and karaoke wipes: {page(3000, "Hello\nworld"), wipe(3500, 5)}.
namespace ContentTimeline {

inline DisplayEvent page(qint64 ms, const QString &text)
{
    return {DisplayEvent::Kind::Page, ms, text};
}

inline DisplayEvent wipe(qint64 ms, int start, int end)
{
    return {DisplayEvent::Kind::Highlight, ms, {}, start, end};
}

// a wipe from the start of the page to end
inline DisplayEvent wipe(qint64 ms, int end)
{
    return wipe(ms, 0, end);
}

} // namespace ContentTimeline

#endif
