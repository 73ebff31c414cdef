#include "soundbuffer.h"

#include <cstring>

SoundBuffer::SoundBuffer(qint32 count)
    : count(qMax(count, 0)), frameSlots(std::make_unique<FrameSlot[]>(std::size_t(this->count)))
{}

SoundBuffer::~SoundBuffer() = default;

FrameSlot *SoundBuffer::nextSlot()
{
    if (cursor < count)
        ++cursor;
    return slotAt(cursor);
}

bool SoundBuffer::hasRoom() const
{
    return cursor < count - 1;
}

void SoundBuffer::clearSlots()
{
    // FrameSlot is plain data: one zero fill clears numbers, sound and content alike.
    std::memset(static_cast<void *>(frameSlots.get()), 0, sizeof(FrameSlot) * std::size_t(count));
    cursor = -1;
}

void SoundBuffer::resetCursor()
{
    cursor = -1;
}

FrameSlot *SoundBuffer::slotAt(qint32 index)
{
    return index >= 0 && index < count ? &frameSlots[index] : nullptr;
}

const FrameSlot *SoundBuffer::slotAt(qint32 index) const
{
    return index >= 0 && index < count ? &frameSlots[index] : nullptr;
}
