#include "stagecues.h"

#include <algorithm>

namespace {

// One page of the timeline: when it appears and when its words are sung.
struct PageTimes
{
    qint64 shownAt = 0;
    qint64 firstWord = -1; // -1: no word of it is ever wiped
    qint64 lastWord = -1;
    QString text;
};

QList<PageTimes> pagesOf(const DisplayTimeline &timeline)
{
    QList<PageTimes> pages;
    for (const DisplayEvent &event : timeline) {
        if (event.kind == DisplayEvent::Kind::Page) {
            pages.append({event.ms, -1, -1, event.page});
        } else if (!pages.isEmpty() && event.highlightEnd > event.highlightStart) {
            PageTimes &page = pages.last();
            if (page.firstWord < 0)
                page.firstWord = event.ms;
            page.lastWord = event.ms;
        }
    }
    return pages;
}

} // namespace

// The silence before a page starts at the last word sung before it, or later, where the page
// before is known to end (the page then appears before its first word).
StageCues::StageCues(const DisplayTimeline &timeline)
{
    qint64 lastSung = -1;
    for (const PageTimes &page : pagesOf(timeline)) {
        if (page.firstWord < 0)
            continue;
        if (lastSung < 0) {
            list.append({std::max<qint64>(0, page.firstWord - leadInMs), page.firstWord,
                         page.text});
        } else {
            qint64 gapStart = lastSung;
            if (page.shownAt < page.firstWord)
                gapStart = std::max(gapStart, page.shownAt);
            if (page.firstWord - gapStart >= gapMs)
                list.append({gapStart, page.firstWord, page.text});
        }
        lastSung = page.lastWord;
    }
}

StageCues::Moment StageCues::at(qint64 ms) const
{
    Moment moment;
    if (list.isEmpty())
        return moment;
    moment.introduction = ms < list.first().from;
    for (int i = 0; i < list.size(); ++i) {
        const Cue &cue = list.at(i);
        if (ms >= cue.from && ms < cue.firstWord) {
            moment.cue = i;
            const qint64 left = cue.firstWord - ms;
            if (left <= countdownMs)
                moment.marks = int((left + 999) / 1000);
            break;
        }
    }
    return moment;
}

qint64 StageCues::nextChangeAfter(qint64 ms) const
{
    for (const Cue &cue : list) {
        const qint64 changes[] = {cue.from, cue.firstWord - 3000, cue.firstWord - 2000,
                                  cue.firstWord - 1000, cue.firstWord};
        for (const qint64 change : changes) {
            if (change > ms)
                return change;
        }
    }
    return -1;
}
