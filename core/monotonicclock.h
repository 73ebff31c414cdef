#ifndef MONOTONICCLOCK_H
#define MONOTONICCLOCK_H

#include <QtGlobal>

// Milliseconds on a clock that never goes back and never wraps at midnight. Due times of
// content stamps and the audio callback's request time are points on this clock.
class MonotonicClock
{
public:
    // safe on any thread
    static qint64 now();
};

#endif
