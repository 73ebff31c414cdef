#include "pacing.h"

#include "monotonicclock.h"

#include <atomic>

namespace {
std::atomic<Pacing::Recorder> installedRecorder{nullptr};
std::atomic<Pacing::Clock> installedClock{nullptr};
} // namespace

qint64 Pacing::now()
{
    const Clock clock = installedClock.load();
    return clock ? clock() : MonotonicClock::now();
}

qint64 Pacing::deadline(int milliseconds)
{
    if (Recorder recorder = installedRecorder.load())
        recorder(milliseconds);
    return now() + milliseconds;
}

void Pacing::setRecorder(Recorder recorder)
{
    installedRecorder.store(recorder);
}

void Pacing::setClock(Clock clock)
{
    installedClock.store(clock);
}
