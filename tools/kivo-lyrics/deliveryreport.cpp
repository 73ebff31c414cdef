#include "deliveryreport.h"

#include "frametiming.h"

#include <algorithm>

namespace {

bool sameContent(const DisplayEvent &a, const DisplayEvent &b)
{
    if (a.kind != b.kind)
        return false;
    if (a.kind == DisplayEvent::Kind::Page)
        return a.page == b.page;
    return a.highlightStart == b.highlightStart && a.highlightEnd == b.highlightEnd;
}

} // namespace

QString DeliveryReport::describe(const DisplayEvent &event)
{
    if (event.kind == DisplayEvent::Kind::Page)
        return QStringLiteral("page \"%1\"")
            .arg(QString(event.page).replace(QLatin1Char('\n'), QLatin1String(" / ")));
    return QStringLiteral("highlight [%1,%2)").arg(event.highlightStart).arg(event.highlightEnd);
}

DeliveryReport::DeliveryReport(const DisplayTimeline &expected, const QVector<Delivered> &delivered)
    : expectedCount(int(expected.size()))
{
    auto lateBy = [&](const DisplayEvent &want, int frame, const QString &how) {
        const int due = FrameTiming::frameForMs(want.ms);
        ++late;
        maxLateFrames = std::max(maxLateFrames, frame - due);
        problems << QStringLiteral("late by %1 frame%2: %3 due at frame %4 (%5 ms), %6 frame %7")
                        .arg(frame - due)
                        .arg(frame - due == 1 ? "" : "s")
                        .arg(describe(want))
                        .arg(due)
                        .arg(want.ms)
                        .arg(how)
                        .arg(frame);
    };

    qsizetype next = 0; // the first expected event not yet delivered
    for (const Delivered &got : delivered) {
        // When the stream falls behind it may leave out events that a later one supersedes
        // (a wipe inside a longer wipe of the same page, a page replaced before it was shown).
        qsizetype match = next;
        while (match < expected.size() && !sameContent(expected[match], got.event))
            ++match;
        if (match == expected.size()) {
            diverged = true;
            problems << QStringLiteral("frame %1: unexpected %2; later events not compared")
                            .arg(got.frame)
                            .arg(describe(got.event));
            return;
        }
        for (qsizetype k = next; k < match; ++k) {
            const DisplayEvent &left = expected[k];
            const bool coveredWipe = left.kind == DisplayEvent::Kind::Highlight &&
                                     got.event.kind == DisplayEvent::Kind::Highlight &&
                                     left.highlightEnd <= got.event.highlightEnd;
            if (coveredWipe) {
                lateBy(left, got.frame, QStringLiteral("taken up by a longer wipe at"));
            } else {
                ++missing;
                problems << QStringLiteral("never shown (superseded): %1 due at frame %2 (%3 ms)")
                                .arg(describe(left))
                                .arg(FrameTiming::frameForMs(left.ms))
                                .arg(left.ms);
            }
        }
        const DisplayEvent &want = expected[match];
        const int due = FrameTiming::frameForMs(want.ms);
        if (got.frame == due) {
            ++onTime;
        } else if (got.frame > due) {
            lateBy(want, got.frame, QStringLiteral("shown at"));
        } else {
            ++early;
            problems << QStringLiteral("early by %1 frame%2: %3 due at frame %4 (%5 ms), shown at "
                                       "frame %6")
                            .arg(due - got.frame)
                            .arg(due - got.frame == 1 ? "" : "s")
                            .arg(describe(want))
                            .arg(due)
                            .arg(want.ms)
                            .arg(got.frame);
        }
        next = match + 1;
    }
    for (qsizetype k = next; k < expected.size(); ++k) {
        ++missing;
        problems << QStringLiteral("never shown (the song ended first): %1 due at frame %2 (%3 ms)")
                        .arg(describe(expected[k]))
                        .arg(FrameTiming::frameForMs(expected[k].ms))
                        .arg(expected[k].ms);
    }
}

QString DeliveryReport::summary() const
{
    QString text = QStringLiteral("%1 events: %2 on their frame, %3 late")
                       .arg(expectedCount)
                       .arg(onTime)
                       .arg(late);
    if (late > 0)
        text += QStringLiteral(" (at most %1 frames)").arg(maxLateFrames);
    if (early > 0)
        text += QStringLiteral(", %1 early").arg(early);
    if (missing > 0)
        text += QStringLiteral(", %1 never shown").arg(missing);
    if (diverged)
        text += QStringLiteral(", delivered events differ from the lyrics");
    return text;
}
