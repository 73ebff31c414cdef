#include "soundsettings.h"

#include <algorithm>
#include <atomic>
#include <cmath>

namespace {
std::atomic<int> currentKey{0};
std::atomic<bool> vocalReduction{false};
std::atomic<int> currentVolume{SoundSettings::maxVolume};
std::atomic<bool> mute{false};
std::atomic<double> loudness{1.0};
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

int SoundSettings::volume()
{
    return currentVolume.load(std::memory_order_relaxed);
}

void SoundSettings::setVolume(int percent)
{
    currentVolume.store(std::clamp(percent, 0, maxVolume), std::memory_order_relaxed);
}

bool SoundSettings::muted()
{
    return mute.load(std::memory_order_relaxed);
}

void SoundSettings::setMuted(bool muted)
{
    mute.store(muted, std::memory_order_relaxed);
}

double SoundSettings::loudnessGain()
{
    return loudness.load(std::memory_order_relaxed);
}

void SoundSettings::setLoudnessGain(double factor)
{
    // NaN falls to 1: no gain rather than silence or noise.
    const double sane = std::isnan(factor) ? 1.0 : std::clamp(factor, 0.0, maxLoudnessGain);
    loudness.store(sane, std::memory_order_relaxed);
}
