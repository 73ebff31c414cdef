#ifndef FRAMETIMING_H
#define FRAMETIMING_H

#include <QtGlobal>

#include <algorithm>

// What a frame is wherever frames meet time: the decoders deliver every song as frames of 1152
// stereo samples of signed 16-bit PCM at 44 100 Hz, whatever the file's own rate, so a frame is
// always 4608 bytes and lasts 26.12245 ms. Frames are counted from 1.
namespace FrameTiming {

constexpr int samplesPerFrame = 1152; // per channel
constexpr int bytesPerFrame = samplesPerFrame * 2 * 2;
constexpr double millisecondsPerFrame = 26.12245;

// 26.12245 ms as an exact fraction, so that converting back and forth never drifts by
// floating-point rounding.
constexpr qint64 frameNumerator = 2612245;
constexpr qint64 frameDenominator = 100000;

// The frame that an event at ms belongs to: the one playing at that moment.
constexpr qint32 frameForMs(qint64 ms)
{
    return ms <= 0 ? 1 : qint32(ms * frameDenominator / frameNumerator + 1);
}

// The moment frame starts, in whole milliseconds.
constexpr qint64 msForFrame(qint32 frame)
{
    return qint64(std::max(frame, 1) - 1) * frameNumerator / frameDenominator;
}

} // namespace FrameTiming

#endif
