#include "monotonicclock.h"

#include <QElapsedTimer>

qint64 MonotonicClock::now()
{
    // One process-wide origin; QElapsedTimer uses CLOCK_MONOTONIC.
    static const QElapsedTimer origin = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return origin.elapsed();
}
