#include "framedecoder.h"

#include "frameslot.h"
#include "localfilename.h"

#include <QMutexLocker>
#include <QString>
#include <QtDebug>

FrameDecoder::FrameDecoder(const QString &fileName) : info(std::make_unique<StreamInfo>())
{
    QMutexLocker locker(&mutex); // guards every field
    *info = StreamInfo{};
    // The library takes the path as the file system spells it, so any name opens.
    const QByteArray path = LocalFileName::encode(fileName);
    fileOpen = (KWO_MP3D_Init(path.constData(), info.get()) & 0xff) != 0;
    if (!fileOpen)
        return;
    frameTotal = countFrames();
    moreFrames = KWO_MP3D_Stop() != 0 && frameTotal > 1;
}

FrameDecoder::~FrameDecoder()
{
    QMutexLocker locker(&mutex); // guards every field
    if (fileOpen) {
        KWO_MP3D_Stop();
        KWO_MP3D_Close();
    }
    fileOpen = false;
    moreFrames = false;
    decodedCount = 0;
    frameTotal = 0;
    info.reset();
}

bool FrameDecoder::isOpen() const
{
    QMutexLocker locker(&mutex); // guards fileOpen
    return fileOpen;
}

bool FrameDecoder::hasMoreFrames() const
{
    QMutexLocker locker(&mutex); // guards moreFrames
    return moreFrames;
}

qint32 FrameDecoder::totalFrames() const
{
    QMutexLocker locker(&mutex); // guards frameTotal
    return frameTotal;
}

StreamInfo FrameDecoder::streamInfo() const
{
    QMutexLocker locker(&mutex); // guards info
    return *info;
}

qint32 FrameDecoder::decodeNext(FrameSlot *slot)
{
    QMutexLocker locker(&mutex); // guards moreFrames and decodedCount
    if (!moreFrames || !slot)
        return 0;
    ++decodedCount;
    slot->frameNumber = decodedCount;
    moreFrames = KWO_MP3D_DecodeNextFrame(slot->pcm, slot->content) != 0;
    return decodedCount;
}

bool FrameDecoder::skip(qint32 frames)
{
    QMutexLocker locker(&mutex); // guards moreFrames and decodedCount
    if (!moreFrames || frames < 0)
        return false;
    moreFrames = KWO_MP3D_Forward(frames) != 0;
    decodedCount = moreFrames ? decodedCount + frames : frameTotal;
    return moreFrames;
}

bool FrameDecoder::rewind()
{
    QMutexLocker locker(&mutex); // guards fileOpen
    return fileOpen && KWO_MP3D_Stop() != 0;
}

// Counts coarse to fine: strides of 1000, 100 and 10 frames (a skip and one decode each), then
// single frames. Each finer phase starts one small step before the last stride known to be
// complete, so it cannot overshoot a frame the coarser stride already proved. A song of n
// frames costs about n / 1000 + 30 decodes.
qint32 FrameDecoder::countFrames()
{
    QMutexLocker locker(&mutex); // the library's position belongs to this decoder
    FrameSlot scratch;
    qint32 n = 0;
    for (const qint32 stride : {1000, 100, 10}) {
        while (KWO_MP3D_Forward(stride - 1) &&
               KWO_MP3D_DecodeNextFrame(scratch.pcm, scratch.content))
            n += stride;
        KWO_MP3D_Stop();
        const qint32 backStep = stride / 10;
        if (n > backStep)
            n -= backStep;
        if (n != 0)
            KWO_MP3D_Forward(n);
    }
    while (KWO_MP3D_DecodeNextFrame(scratch.pcm, scratch.content))
        ++n;
    KWO_MP3D_Stop();
    qDebug("TOTAL FRAMES AT END OF COUNT IS %d", n);
    return n;
}
