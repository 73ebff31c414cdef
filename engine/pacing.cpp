#include "pacing.h"

#include <QThread>

#include <atomic>

namespace {
std::atomic<Pacing::Sleeper> installedSleeper{nullptr};
}

void Pacing::sleep(int milliseconds)
{
    if (Sleeper sleeper = installedSleeper.load())
        sleeper(milliseconds);
    else if (milliseconds > 0)
        QThread::msleep(static_cast<unsigned long>(milliseconds));
}

void Pacing::setSleeper(Sleeper sleeper)
{
    installedSleeper.store(sleeper);
}
