#include "contentstream.h"

#include "contentformat.h"
#include "frametiming.h"

#include <algorithm>
#include <limits>

using namespace ContentFormat;

namespace {

// Events at absurd times (a hostile file) are all pinned to this far-off frame.
constexpr qint64 maxMs = 28'000'000'000; // about 324 days

// The page as it travels: no NULs (00 marks padding), at most maxPageBytes of UTF-8, cut at a
// character boundary.
QByteArray pageBytes(QString page)
{
    page.replace(QChar(0), QChar(' '));
    QByteArray utf8 = page.toUtf8();
    if (utf8.size() > maxPageBytes) {
        int cut = maxPageBytes;
        while (cut > 0 && (quint8(utf8.at(cut)) & 0xC0) == 0x80)
            --cut; // never split a character
        utf8.truncate(cut);
    }
    return utf8;
}

// What the decoder's registers must hold for a command, and what they hold now.
struct Registers
{
    quint8 endHigh = 0;
    quint16 start = 0;
};

// The first page at or after index from (events.size() when none).
int nextPage(const QVector<ContentStream::ScheduledEvent> &events, int from)
{
    while (from < events.size() && events[from].event.kind != DisplayEvent::Kind::Page)
        ++from;
    return int(from);
}

} // namespace

ContentStream ContentStream::encode(const DisplayTimeline &timeline)
{
    ContentStream stream;
    if (timeline.isEmpty())
        return stream;

    // Time order, ties in their given order; pages as sent; highlights inside their page.
    DisplayTimeline sorted = timeline;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const DisplayEvent &a, const DisplayEvent &b) { return a.ms < b.ms; });
    QVector<QByteArray> text(sorted.size());
    int pageLength = 0;
    for (int i = 0; i < sorted.size(); ++i) {
        DisplayEvent &e = sorted[i];
        ScheduledEvent s;
        s.wantedFrame = FrameTiming::frameForMs(std::min(e.ms, maxMs));
        if (e.kind == DisplayEvent::Kind::Page) {
            text[i] = pageBytes(e.page);
            e.page = QString::fromUtf8(text[i]);
            e.highlightStart = e.highlightEnd = 0;
            pageLength = int(e.page.size());
        } else {
            e.page.clear();
            e.highlightEnd = std::clamp(e.highlightEnd, 0, pageLength);
            e.highlightStart = std::clamp(e.highlightStart, 0, e.highlightEnd);
        }
        s.event = e;
        stream.scheduled.append(s);
    }
    QVector<ScheduledEvent> &events = stream.scheduled;
    const int n = int(events.size());
    QVector<bool> dropped(n, false); // pages that would be obsolete on arrival, with their highlights

    qint32 frame = 1;
    auto emitUnit = [&](quint8 b0, quint8 b1) {
        stream.units.append(Unit{frame, b0, b1});
        ++frame;
    };
    emitUnit(header, version);

    Registers held; // what the decoder's registers hold after the units sent so far
    // The next unit that brings the registers to what a highlight needs; false when they hold it.
    auto prefixFor = [&](const DisplayEvent *h, quint8 &b0, quint8 &b1) {
        const Registers want{h ? quint8(h->highlightEnd >> endLowBits) : quint8(0),
                             h ? quint16(h->highlightStart) : quint16(0)};
        if (held.endHigh != want.endHigh) {
            b0 = endHigh, b1 = want.endHigh;
            held.endHigh = want.endHigh;
        } else if ((held.start & 0xFF) != (want.start & 0xFF)) {
            b0 = startLow, b1 = quint8(want.start);
            held.start = quint16((held.start & 0xFF00) | (want.start & 0xFF));
        } else if ((held.start >> 8) != (want.start >> 8)) {
            b0 = startHigh, b1 = quint8(want.start >> 8);
            held.start = quint16((held.start & 0x00FF) | (want.start & 0xFF00));
        } else {
            return false;
        }
        return true;
    };

    int next = 0;      // first event not yet sent
    int textPage = -1; // the page whose text is being sent
    int textSent = 0;  // bytes of it already sent
    // The events that go out together as the next unit: next..through, the page among them
    // (-1: none). Grown as frames pass; each event is looked at once while it waits.
    int groupOf = -1, through = -1, shown = -1;
    bool frozen = false; // register units went out for the group: it takes no more events
    while (next < n) {
        // The next page's text may go out now: the page before it is already on screen. A page
        // whose successor is due before its own text could be through would only flash by: it is
        // dropped with its highlights, so under overload the display stays one page behind at most.
        if (textPage < next) {
            textPage = nextPage(events, next);
            for (int after = nextPage(events, textPage + 1);
                 after < n && events[after].wantedFrame <= frame + (text[textPage].size() + 1) / 2;
                 after = nextPage(events, after + 1)) {
                for (int k = textPage; k < after; ++k)
                    dropped[k] = true;
                textPage = after;
            }
            textSent = 0;
        }
        if (dropped[next]) {
            events[next++].superseded = true;
            continue;
        }
        const bool textDone = textPage == n || textSent >= text[textPage].size();

        const ScheduledEvent &first = events[next];
        const bool isPage = first.event.kind == DisplayEvent::Kind::Page;
        const bool due = first.wantedFrame <= frame && (!isPage || textDone);
        // Everything due by the frame it can go out in becomes one unit: the page whose text is
        // through, if there is one (it hides the highlights before it), and the last highlight.
        const qint32 sendFrame = std::max(frame, first.wantedFrame);
        if (groupOf != next) {
            groupOf = through = next;
            shown = isPage ? next : -1;
            frozen = false;
        }
        while (!frozen && through + 1 < n && events[through + 1].wantedFrame <= sendFrame) {
            if (events[through + 1].event.kind == DisplayEvent::Kind::Page) {
                if (shown >= 0 || through + 1 != textPage || !textDone)
                    break;
                shown = through + 1;
            }
            ++through;
        }
        const DisplayEvent *h = through != shown ? &events[through].event : nullptr;
        // Register units go out ahead of time once nothing more can join the group before it is
        // sent (a page still waiting for its text takes at least that many frames).
        const qint32 remainingText =
            isPage && !textDone ? qint32(text[textPage].size() - textSent + 1) / 2 : 0;
        const bool settled = through + 1 == n || events[through + 1].wantedFrame >
                                                     std::max(sendFrame, frame + remainingText + 3);
        quint8 b0 = 0, b1 = 0;
        if ((due || settled) && prefixFor(h, b0, b1)) {
            emitUnit(b0, b1);
            frozen = frozen || due;
            continue;
        }
        if (due) {
            const int end = h ? h->highlightEnd : 0;
            emitUnit(quint8((shown >= 0 ? showPage : highlight) | ((end >> 8) & commandLowMask)),
                     quint8(end));
            held = Registers();
            for (int k = next; k <= through; ++k) {
                events[k].frame = frame - 1;
                events[k].superseded = k != through && k != shown;
            }
            next = through + 1;
            continue;
        }
        if (!textDone) {
            const QByteArray &t = text[textPage];
            b0 = quint8(t.at(textSent++));
            b1 = textSent < t.size() ? quint8(t.at(textSent++)) : quint8(0);
            emitUnit(b0, b1);
            continue;
        }
        frame = std::max(frame, first.wantedFrame); // nothing to send until then
    }
    // A dropped event's successor stands in for it on the display.
    for (int k = n - 2; k >= 0; --k) {
        if (dropped[k])
            events[k].frame = events[k + 1].frame;
    }
    return stream;
}

void ContentStream::frameBytes(qint32 frame, quint8 out[2]) const
{
    out[0] = out[1] = 0;
    const auto it = std::lower_bound(units.cbegin(), units.cend(), frame,
                                     [](const Unit &u, qint32 f) { return u.frame < f; });
    if (it != units.cend() && it->frame == frame) {
        out[0] = it->b0;
        out[1] = it->b1;
    }
}

qint32 ContentStream::nextBusyFrame(qint32 after) const
{
    const auto it = std::upper_bound(units.cbegin(), units.cend(), after,
                                     [](qint32 f, const Unit &u) { return f < u.frame; });
    return it == units.cend() ? std::numeric_limits<qint32>::max() : it->frame;
}
