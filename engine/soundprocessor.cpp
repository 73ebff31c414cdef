#include "soundprocessor.h"

#include "keyshifter.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {
// Below this the vocal reduction keeps the original: bass and kick drum.
constexpr double crossoverHz = 120.0;

qint16 toSample(float value)
{
    return qint16(std::clamp(std::lround(value * 32768.0f), -32768L, 32767L));
}
} // namespace

SoundProcessor::SoundProcessor(int sampleRate)
    : rate(sampleRate), shifter(std::make_unique<KeyShifter>(sampleRate)),
      spare(std::make_unique<KeyShifter>(sampleRate))
{
    // A Butterworth section (Q = 1/sqrt(2)) by the bilinear transform; two in a row make the
    // Linkwitz-Riley low-pass.
    const double w = 2.0 * M_PI * crossoverHz / rate;
    const double alpha = std::sin(w) / std::sqrt(2.0);
    const double a0 = 1.0 + alpha;
    coefficients[0] = (1.0 - std::cos(w)) / 2.0 / a0;
    coefficients[1] = (1.0 - std::cos(w)) / a0;
    coefficients[2] = coefficients[0];
    coefficients[3] = -2.0 * std::cos(w) / a0;
    coefficients[4] = (1.0 - alpha) / a0;
}

SoundProcessor::~SoundProcessor() = default;

void SoundProcessor::reset()
{
    fresh = true;
}

void SoundProcessor::keyStage(KeyShifter *keyShifter, const qint16 *input, int available,
                              int frames, float *left, float *right) const
{
    if (keyShifter) {
        keyShifter->shift(input, available, left, right, frames);
        return;
    }
    for (int i = 0; i < frames; ++i) {
        left[i] = i < available ? input[2 * i] / 32768.0f : 0.0f;
        right[i] = i < available ? input[2 * i + 1] / 32768.0f : 0.0f;
    }
}

void SoundProcessor::reduceVocals(LowPass &state, float *left, float *right, int frames) const
{
    const double *c = coefficients;
    // Transposed direct form II, one section after the other.
    const auto low = [c](double (&sections)[2][2], double x) {
        for (double(&z)[2] : sections) {
            const double y = c[0] * x + z[0];
            z[0] = c[1] * x - c[3] * y + z[1];
            z[1] = c[2] * x - c[4] * y;
            x = y;
        }
        return x;
    };
    for (int i = 0; i < frames; ++i) {
        const double l = left[i];
        const double r = right[i];
        const double lowLeft = low(state.z[0], l);
        const double lowRight = low(state.z[1], r);
        left[i] = float(l - r + lowRight);
        right[i] = float(r - l + lowLeft);
    }
}

// The slice is made with the settings the last one was made with; when they changed, also with
// the new ones from the same input, and the two are faded over the slice.
void SoundProcessor::process(const qint16 *input, int available, qint16 *output, int frames,
                             int key, bool vocals)
{
    const Setting wanted{key, vocals};
    available = std::max(available, 0);
    if (fresh) {
        fresh = false;
        made = wanted;
        if (made.key != 0)
            shifter->start(made.key);
        lowPass = LowPass();
    }
    if (!made.isOn() && wanted == made) {
        const int copied = std::min(available, frames);
        std::memcpy(output, input, size_t(copied) * 2 * sizeof(qint16));
        std::memset(output + 2 * copied, 0, size_t(frames - copied) * 2 * sizeof(qint16));
        return;
    }
    if (int(oldLeft.size()) < frames) {
        for (std::vector<float> *buffer : {&oldLeft, &oldRight, &newLeft, &newRight})
            buffer->resize(size_t(frames));
    }
    const bool changed = wanted != made;
    const bool keyChanged = wanted.key != made.key;
    // The low-pass as it stood before this slice, for the new setting's vocals.
    LowPass newLowPass = made.vocals ? lowPass : LowPass();

    keyStage(made.key ? shifter.get() : nullptr, input, available, frames, oldLeft.data(),
             oldRight.data());
    if (keyChanged) {
        if (wanted.key != 0)
            spare->start(wanted.key);
        keyStage(wanted.key ? spare.get() : nullptr, input, available, frames, newLeft.data(),
                 newRight.data());
    } else if (changed) {
        std::copy_n(oldLeft.data(), frames, newLeft.data());
        std::copy_n(oldRight.data(), frames, newRight.data());
    }
    if (made.vocals)
        reduceVocals(lowPass, oldLeft.data(), oldRight.data(), frames);
    if (changed && wanted.vocals)
        reduceVocals(newLowPass, newLeft.data(), newRight.data(), frames);

    for (int i = 0; i < frames; ++i) {
        float left = oldLeft[size_t(i)];
        float right = oldRight[size_t(i)];
        if (changed) {
            const float fade = (i + 0.5f) / frames;
            left += (newLeft[size_t(i)] - left) * fade;
            right += (newRight[size_t(i)] - right) * fade;
        }
        output[2 * i] = toSample(left);
        output[2 * i + 1] = toSample(right);
    }
    if (keyChanged && wanted.key != 0)
        std::swap(shifter, spare);
    if (changed)
        lowPass = newLowPass;
    made = wanted;
}
