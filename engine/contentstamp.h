#ifndef CONTENTSTAMP_H
#define CONTENTSTAMP_H

#include <QtGlobal>

// One frame's two content bytes with the moment they fall due, in MonotonicClock milliseconds.
struct ContentStamp
{
    qint32 frameNumber = 0; // 0 when the slot held no frame
    quint8 content[2] = {0, 0};
    qint64 dueTime = 0;
};

#endif
