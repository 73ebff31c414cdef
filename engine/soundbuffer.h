#ifndef SOUNDBUFFER_H
#define SOUNDBUFFER_H

#include "frameslot.h"

#include <QtGlobal>

#include <memory>

// A fixed row of frame slots, the unit of the engine's buffer pool. The engine fills it slot by
// slot on the GUI thread; the audio output then plays or skips it. It has no lock of its own:
// whoever holds the buffer in a list or delivers it guards it.
class SoundBuffer
{
public:
    // count slots, the cursor before the first; slot contents are zero until written.
    explicit SoundBuffer(qint32 count);
    ~SoundBuffer();
    SoundBuffer(const SoundBuffer &) = delete;
    SoundBuffer &operator=(const SoundBuffer &) = delete;

    // Advances the cursor and returns the slot it now stands on, or null once past the last
    // slot (the cursor stays advanced).
    FrameSlot *nextSlot();
    // True while the cursor stands before the last slot.
    bool hasRoom() const;
    // Zeroes every slot's sound and content, marks it empty and puts the cursor before the first.
    void clearSlots();
    // Puts the cursor before the first slot; the slots keep their frames.
    void resetCursor();

    qint32 slotCount() const { return count; }
    qint32 cursorIndex() const { return cursor; }
    // Slot index (0 to slotCount() - 1), or null outside that range.
    FrameSlot *slotAt(qint32 index);
    const FrameSlot *slotAt(qint32 index) const;

private:
    qint32 count = 0;
    qint32 cursor = -1; // index of the slot last handed out
    std::unique_ptr<FrameSlot[]> frameSlots;
};

#endif
