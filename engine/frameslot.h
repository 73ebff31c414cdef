#ifndef FRAMESLOT_H
#define FRAMESLOT_H

#include <QtGlobal>

// One decoded frame: 1152 stereo samples of signed 16-bit little-endian PCM (26.12245 ms at
// 44 100 Hz) and the frame's two bytes of interactive content.
struct FrameSlot
{
    static constexpr int pcmBytes = 4608;
    static constexpr int contentBytes = 2;

    qint32 frameNumber = 0; // first frame 1; 0 in an empty slot
    quint8 pcm[pcmBytes];
    quint8 content[contentBytes];
};

#endif
