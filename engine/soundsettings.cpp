#include "soundsettings.h"

#include <algorithm>
#include <atomic>

namespace {
std::atomic<int> currentKey{0};
std::atomic<bool> vocalReduction{false};
} // namespace

int SoundSettings::key()
{
    return currentKey.load(std::memory_order_relaxed);
}

void SoundSettings::setKey(int semitones)
{
    currentKey.store(std::clamp(semitones, lowestKey, highestKey), std::memory_order_relaxed);
}

bool SoundSettings::vocalsReduced()
{
    return vocalReduction.load(std::memory_order_relaxed);
}

void SoundSettings::setVocalsReduced(bool reduced)
{
    vocalReduction.store(reduced, std::memory_order_relaxed);
}
