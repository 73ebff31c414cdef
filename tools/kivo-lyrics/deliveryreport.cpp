#include "deliveryreport.h"

#include <algorithm>

namespace {

// 26.12245 ms as an exact fraction, so frame times are never off by floating-point rounding.
constexpr qint64 frameNumerator = 2612245;
constexpr qint64 frameDenominator = 100000;

bool sameContent(const DisplayEvent &a, const DisplayEvent &b)
{
    if (a.kind != b.kind)
        return false;
    if (a.kind == DisplayEvent::Kind::Page)
        return a.page == b.page;
    return a.highlightStart == b.highlightStart && a.highlightEnd == b.highlightEnd;
}

} // namespace

int DeliveryReport::dueFrame(qint64 ms)
{
    return int(std::max<qint64>(0, ms) * frameDenominator / frameNumerator + 1);
}

qint64 DeliveryReport::frameMs(int frame)
{
    return qint64(std::max(frame, 1) - 1) * frameNumerator / frameDenominator;
}

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
    const qsizetype common = std::min(expected.size(), delivered.size());
    qsizetype i = 0;
    for (; i < common; ++i) {
        const DisplayEvent &want = expected[i];
        const Delivered &got = delivered[i];
        if (!sameContent(want, got.event)) {
            diverged = true;
            problems << QStringLiteral("frame %1: expected %2 (due at frame %3, %4 ms), got %5; "
                                       "later events not compared")
                            .arg(got.frame)
                            .arg(describe(want))
                            .arg(dueFrame(want.ms))
                            .arg(want.ms)
                            .arg(describe(got.event));
            return;
        }
        const int due = dueFrame(want.ms);
        if (got.frame == due) {
            ++onTime;
        } else if (got.frame > due) {
            ++late;
            maxLateFrames = std::max(maxLateFrames, got.frame - due);
            problems << QStringLiteral("late by %1 frame%2: %3 due at frame %4 (%5 ms), shown at "
                                       "frame %6")
                            .arg(got.frame - due)
                            .arg(got.frame - due == 1 ? "" : "s")
                            .arg(describe(want))
                            .arg(due)
                            .arg(want.ms)
                            .arg(got.frame);
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
    }
    for (; i < expected.size(); ++i) {
        ++missing;
        problems << QStringLiteral("never shown (the song ended first): %1 due at frame %2 (%3 ms)")
                        .arg(describe(expected[i]))
                        .arg(dueFrame(expected[i].ms))
                        .arg(expected[i].ms);
    }
    for (; i < delivered.size(); ++i) {
        diverged = true;
        problems << QStringLiteral("frame %1: unexpected %2")
                        .arg(delivered[i].frame)
                        .arg(describe(delivered[i].event));
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
