#ifndef FRAMEDECODER_H
#define FRAMEDECODER_H

#include "kwo_mp3d.h"
#include "recursivemutex.h"

#include <QtGlobal>

#include <memory>

class QString;
struct FrameSlot;

// One song read through the MP3 decoder library: opens the file, counts its frames, and decodes
// frame after frame into sound-buffer slots, numbering them from 1.
//
// Every operation holds the decoder's own lock; called on the GUI thread (with the engine's
// locks held), it never blocks another thread for longer than one frame's decode.
class FrameDecoder
{
public:
    // Opens the file and counts its frames. A file of one frame opens but plays nothing.
    explicit FrameDecoder(const QString &fileName);
    ~FrameDecoder();
    FrameDecoder(const FrameDecoder &) = delete;
    FrameDecoder &operator=(const FrameDecoder &) = delete;

    bool isOpen() const;
    bool hasMoreFrames() const;
    qint32 totalFrames() const;
    StreamInfo streamInfo() const;

    // Decodes the next frame into slot and returns its number, or leaves slot alone and
    // returns 0 once the end was reached. The call that meets the end still returns a number;
    // that slot keeps whatever the library wrote.
    qint32 decodeNext(FrameSlot *slot);
    // Skips frames without decoding them, numbering on as if they had been: the library finds the
    // place from its index, so the cost does not grow with the place. False, with no more frames
    // to come, when the song ended first.
    bool skip(qint32 frames);
    // Back to the first frame; the decoded count and hasMoreFrames() stay as they are.
    bool rewind();

private:
    qint32 countFrames();

    mutable RecursiveMutex mutex; // recursive, like every engine lock
    bool fileOpen = false;        // KWO_MP3D_Init succeeded
    bool moreFrames = false;      // decoding may go on; cleared once, at the end
    qint32 decodedCount = 0;      // number given to the last decoded frame
    qint32 frameTotal = 0;
    std::unique_ptr<StreamInfo> info;
};

#endif
