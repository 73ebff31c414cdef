#ifndef LOUDNESSMETER_H
#define LOUDNESSMETER_H

#include <QString>

#include <atomic>
#include <optional>

// EBU R128 loudness of an MP3 file: decoded with libmpg123 and measured with libebur128
// (integrated loudness and sample peak), and the gain that brings a song to the target loudness
// without letting a sample clip. Any thread; a measurement takes a fraction of a second of CPU per
// minute of song, so it belongs in a background thread.
class LoudnessMeter
{
public:
    static constexpr double targetLufs = -18.0;

    struct Measurement
    {
        double lufs = 0;
        double peak = 0; // largest sample magnitude, 1 = full scale
    };

    // Measures the regular file at path with its samples multiplied by gain; nothing when it
    // cannot be decoded, holds no sound above the gate, or cancel became true.
    static std::optional<Measurement> measure(const QString &path, double gain = 1.0,
                                              const std::atomic<bool> *cancel = nullptr);

    // The linear gain for a song: from its tag (dB, peak) when it has one, else from its
    // measurement, else exactly 1. A tag that raises the level needs a peak (its own or the
    // measured one), else it is not followed. Never so high that the peak passes full scale, never above
    // SoundSettings::maxLoudnessGain; exactly 1 when no change is asked for.
    static double gainFor(std::optional<double> tagGainDb, std::optional<double> tagPeak,
                          std::optional<double> measuredLufs, std::optional<double> measuredPeak);
};

#endif // LOUDNESSMETER_H
