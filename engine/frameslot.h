#ifndef FRAMESLOT_H
#define FRAMESLOT_H

#include "frametiming.h"

#include <QtGlobal>

// One decoded frame: its sound (see FrameTiming) and its two bytes of interactive content.
struct FrameSlot
{
    static constexpr int contentBytes = 2;

    qint32 frameNumber = 0; // first frame 1; 0 in an empty slot
    quint8 pcm[FrameTiming::bytesPerFrame];
    quint8 content[contentBytes];
};

#endif
