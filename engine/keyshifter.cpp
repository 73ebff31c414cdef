#include "keyshifter.h"

#include <rubberband/RubberBandStretcher.h>

#include <algorithm>
#include <cmath>

using RubberBand::RubberBandStretcher;

namespace {
// Input samples per process() call; the stretcher is told, so it never reallocates.
constexpr int block = 512;

constexpr RubberBandStretcher::Options options =
    RubberBandStretcher::OptionProcessRealTime | RubberBandStretcher::OptionEngineFaster |
    RubberBandStretcher::OptionPitchHighSpeed | RubberBandStretcher::OptionChannelsTogether |
    RubberBandStretcher::OptionTransientsMixed | RubberBandStretcher::OptionThreadingNever;
} // namespace

KeyShifter::KeyShifter(int sampleRate)
    : stretcher(std::make_unique<RubberBandStretcher>(size_t(sampleRate), 2, options)),
      feedLeft(block), feedRight(block), dropped(block)
{
    stretcher->setMaxProcessSize(block);
}

KeyShifter::~KeyShifter() = default;

void KeyShifter::start(int semitones)
{
    stretcher->reset();
    stretcher->setPitchScale(std::pow(2.0, semitones / 12.0));
    fedAhead = 0;
    // The pad is silence before the stream: fed from before the play head.
    int pad = int(stretcher->getPreferredStartPad());
    std::fill(feedLeft.begin(), feedLeft.end(), 0.0f);
    std::fill(feedRight.begin(), feedRight.end(), 0.0f);
    while (pad > 0) {
        const int n = std::min(pad, block);
        const float *channels[2] = {feedLeft.data(), feedRight.data()};
        stretcher->process(channels, size_t(n), false);
        pad -= n;
    }
    toDrop = int(stretcher->getStartDelay());
}

void KeyShifter::feedBlock(const qint16 *input, int available)
{
    for (int i = 0; i < block; ++i) {
        const int at = fedAhead + i;
        const bool there = at >= 0 && at < available;
        feedLeft[i] = there ? input[2 * at] / 32768.0f : 0.0f;
        feedRight[i] = there ? input[2 * at + 1] / 32768.0f : 0.0f;
    }
    const float *channels[2] = {feedLeft.data(), feedRight.data()};
    stretcher->process(channels, block, false);
    fedAhead += block;
}

void KeyShifter::shift(const qint16 *input, int available, float *left, float *right, int frames)
{
    for (;;) {
        while (toDrop > 0 && stretcher->available() > 0) {
            const int n = std::min({toDrop, stretcher->available(), block});
            float *channels[2] = {dropped.data(), dropped.data()};
            stretcher->retrieve(channels, size_t(n));
            toDrop -= n;
        }
        if (toDrop == 0 && stretcher->available() >= frames)
            break;
        feedBlock(input, available);
    }
    float *channels[2] = {left, right};
    stretcher->retrieve(channels, size_t(frames));
    fedAhead -= frames;
}
