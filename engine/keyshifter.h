#ifndef KEYSHIFTER_H
#define KEYSHIFTER_H

#include <QtGlobal>

#include <memory>
#include <vector>

namespace RubberBand {
class RubberBandStretcher;
}

// Moves 16-bit stereo sound by whole semitones with the tempo kept, slice by slice, so that
// output sample t is input sample t shifted: it starts like a stream (the stretcher's preferred
// silence before the first sample, its start delay dropped from the output) and then takes input
// from ahead of the play head as far as the stretcher needs to give a whole slice.
//
// The stretcher is Rubber Band's faster R2 engine in real-time mode: a fraction of the finer
// engine's cost and a start delay of about 20 ms. Its key is fixed from start() to the next
// start(), so the cheapest pitch method serves (no pitch change has to stay smooth); channels
// are shifted together, as mid and side, which keeps the centre where it was. Transients reset
// phases only above the range of musical fundamentals: resetting them everywhere makes a held
// note dip by 10 dB and more wherever the detector fires.
//
// One thread at a time.
class KeyShifter
{
public:
    explicit KeyShifter(int sampleRate);
    ~KeyShifter();
    KeyShifter(const KeyShifter &) = delete;
    KeyShifter &operator=(const KeyShifter &) = delete;

    // Starts a new stream at semitones, its first sample at the play head.
    void start(int semitones);
    // Makes the next frames samples into left and right from input, which starts at the play
    // head and holds available samples per channel (silence past them); the play head then moves
    // on by frames.
    void shift(const qint16 *input, int available, float *left, float *right, int frames);

private:
    // Feeds the next block from the input past what was fed, silence where it runs out.
    void feedBlock(const qint16 *input, int available);

    std::unique_ptr<RubberBand::RubberBandStretcher> stretcher;
    int fedAhead = 0;  // input samples past the play head already fed
    int toDrop = 0;    // output samples of the start delay still to drop
    std::vector<float> feedLeft, feedRight, dropped;
};

#endif
