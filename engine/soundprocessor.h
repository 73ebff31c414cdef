#ifndef SOUNDPROCESSOR_H
#define SOUNDPROCESSOR_H

#include <QtGlobal>

#include <memory>
#include <vector>

class KeyShifter;

// The stage between the delivered sound and the device: it moves the key (tempo kept) and
// reduces the vocals, one device slice of 16-bit stereo at a time. Output sample t is made from
// input sample t: the pitch shifter is fed ahead of the play head by what it holds back, so a
// frame's sound and its lyrics stay together at every key. A change of setting fades from the old
// sound to the new one over one slice, so it makes no click. With the key at 0 and the vocals
// kept, the slice passes unchanged, bit for bit.
//
// The key stage keeps two shifters: the one playing and a spare that starts at the new key while
// the old one fades out. Each starts at its own key, with the delay of that key compensated, so a
// key change neither drifts nor jumps (the delay differs by key).
//
// Vocal reduction cancels what both channels hold alike, the usual centre-cancel, and puts back
// the low end below about 120 Hz (bass and kick drum), keeping stereo:
//   left = L - R + low(R), right = R - L + low(L)
// with low() a 4th-order Linkwitz-Riley low-pass (two 2nd-order Butterworth sections).
//
// One thread at a time (the audio callback's).
class SoundProcessor
{
public:
    // Samples per channel past a slice that the key stage may read (about 5500 at +6, the most):
    // the caller keeps that much queued ahead of the play head, except at the end of the song,
    // where what is missing counts as silence.
    static constexpr int lookAhead = 8192;

    explicit SoundProcessor(int sampleRate);
    ~SoundProcessor();
    SoundProcessor(const SoundProcessor &) = delete;
    SoundProcessor &operator=(const SoundProcessor &) = delete;

    // Makes frames stereo samples into output from input, which starts at the slice and holds
    // available samples per channel (what lies past them counts as silence, as after the end of
    // a song), with the key moved by key semitones and the vocals reduced or not.
    void process(const qint16 *input, int available, qint16 *output, int frames, int key,
                 bool vocals);
    // The next slice starts a new stream (a new song, a jump): it takes the settings at once,
    // without a fade.
    void reset();

private:
    struct Setting
    {
        int key = 0;
        bool vocals = false;
        bool operator==(const Setting &other) const
        {
            return key == other.key && vocals == other.vocals;
        }
        bool operator!=(const Setting &other) const { return !(*this == other); }
        bool isOn() const { return key != 0 || vocals; }
    };
    // Low-pass state of both channels: two cascaded sections each.
    struct LowPass
    {
        double z[2][2][2] = {}; // [channel][section][delay]
    };

    // The key stage of setting into left and right: the shifter's sound, or the input as it is.
    void keyStage(KeyShifter *shifter, const qint16 *input, int available, int frames,
                  float *left, float *right) const;
    void reduceVocals(LowPass &state, float *left, float *right, int frames) const;

    int rate = 44100;
    Setting made;       // what the last slice was made with
    bool fresh = true;  // no slice made since the last reset
    std::unique_ptr<KeyShifter> shifter; // at made.key while it is not 0
    std::unique_ptr<KeyShifter> spare;   // starts at a new key
    LowPass lowPass;
    double coefficients[5] = {}; // b0, b1, b2, a1, a2 of one Butterworth section at 120 Hz
    std::vector<float> oldLeft, oldRight, newLeft, newRight;
};

#endif
