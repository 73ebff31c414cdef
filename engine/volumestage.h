#ifndef VOLUMESTAGE_H
#define VOLUMESTAGE_H

#include <QtGlobal>

// The last stage before the device: the volume, muting and the song's loudness gain as one
// factor, one multiply per sample, saturating to 16 bits. A change of factor is ramped linearly
// over rampFrames sample frames (a few milliseconds), across slices, so it makes no click. At a
// factor of exactly 1 (full volume, not muted, no loudness gain) the samples pass untouched, bit
// for bit.
//
// One thread at a time (the audio callback's).
class VolumeStage
{
public:
    // Sample frames over which a change of factor is spread: 10 ms at 44.1 kHz.
    static constexpr int rampFrames = 441;

    // The factor the settings ask for: (muted ? 0 : volume / 100) * loudness gain.
    static double settingsGain();

    // Scales frames sample frames of channels interleaved samples in place, moving toward gain.
    void apply(qint16 *samples, int frames, int channels, double gain);
    // The next slice starts a new stream: it takes its factor at once, without a ramp.
    void reset();

private:
    double current = 1.0; // the factor the last sample was scaled by
    double target = 1.0;  // where the ramp goes
    double step = 0.0;    // the ramp's change per sample frame
    bool fresh = true;    // no slice since the last reset
};

#endif
