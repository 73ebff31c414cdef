#ifndef DELIVERYREPORT_H
#define DELIVERYREPORT_H

#include "displayevent.h"

#include <QStringList>

// Compares what the content stream delivered, frame by frame, with the song's lyrics timeline:
// which events came on their frame, which later (and by how many frames), which never came.
class DeliveryReport
{
public:
    // One event as the display got it, at the frame whose bytes produced it (counted from 1).
    struct Delivered
    {
        int frame = 0;
        DisplayEvent event;
    };

    // An event in a line of text: page "one / two" or highlight [0,5).
    static QString describe(const DisplayEvent &event);

    DeliveryReport(const DisplayTimeline &expected, const QVector<Delivered> &delivered);

    int onTime = 0;
    int late = 0;
    int early = 0;
    int missing = 0;
    int maxLateFrames = 0;
    bool diverged = false; // an event came that the lyrics do not have
    QStringList problems;  // one line per event that was not delivered on its frame
    QString summary() const;

private:
    int expectedCount = 0;
};

#endif
