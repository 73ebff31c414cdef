#include "volumestage.h"

#include "soundsettings.h"

#include <algorithm>
#include <cmath>

namespace {
qint16 scaled(qint16 sample, double gain)
{
    return qint16(std::clamp(std::lround(sample * gain), -32768L, 32767L));
}
} // namespace

double VolumeStage::settingsGain()
{
    const double volume = SoundSettings::muted()
                              ? 0.0
                              : double(SoundSettings::volume()) / SoundSettings::maxVolume;
    return volume * SoundSettings::loudnessGain();
}

void VolumeStage::reset()
{
    fresh = true;
}

void VolumeStage::apply(qint16 *samples, int frames, int channels, double gain)
{
    if (fresh) {
        fresh = false;
        current = target = gain;
    }
    if (gain != target) {
        target = gain;
        step = (target - current) / rampFrames;
    }
    int frame = 0;
    for (; frame < frames && current != target; ++frame) {
        current = std::abs(target - current) <= std::abs(step) ? target : current + step;
        for (int c = 0; c < channels; ++c)
            samples[frame * channels + c] = scaled(samples[frame * channels + c], current);
    }
    if (target == 1.0)
        return; // untouched, bit for bit
    for (int i = frame * channels; i < frames * channels; ++i)
        samples[i] = scaled(samples[i], target);
}
