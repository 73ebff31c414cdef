#include "lyricsdecoder.h"

#include "contentstamp.h"
#include "localfilename.h"
#include "lyricsdata.h"
#include "monotonicclock.h"

#include <QMutexLocker>
#include <QtDebug>

#include <algorithm>
#include <limits>

LyricsDecoder::LyricsDecoder(const QString &fileName, QList<ContentStamp *> *contentList,
                             QObject *parent)
    : QObject(parent), contentList(contentList)
{
    QMutexLocker locker(&mutex); // guards every field
    snapshots.reserve(9973);
    current = new LyricsData();
    snapshots.insert(0, current);
    // The library takes the path as the file system spells it, so any name opens.
    decoderReady = IMCX_InitDecoder(LocalFileName::encode(fileName).constData()) != 0;
    IMCX_InitGUI(this);
    if (!decoderReady)
        qWarning("UNABLE TO INITALIZE IMCX stuff!");
}

LyricsDecoder::~LyricsDecoder()
{
    QMutexLocker locker(&mutex); // guards snapshots and the library's hold on this sink
    pageChanged = false;
    contentList = nullptr;
    qDeleteAll(snapshots);
    snapshots.clear();
    IMCX_Flush();
}

qint32 LyricsDecoder::processDue()
{
    return processDue(MonotonicClock::now());
}

qint32 LyricsDecoder::processDue(qint64 now)
{
    QMutexLocker locker(&mutex); // guards contentList, the page under construction, snapshots
    while (contentList && !contentList->isEmpty()) {
        if (contentList->first()->dueTime >= now)
            break;
        ContentStamp *stamp = contentList->takeFirst();
        // A slot past the song's last frame carries no frame: the position stays where the song
        // ended, and the content library, which counts frames by what it is fed, is not fed.
        if (stamp->frameNumber == 0) {
            delete stamp;
            continue;
        }
        currentFrame = stamp->frameNumber;
        if (decoderReady) {
            IMCX_Decoder(stamp->content, 2);
            if (pageChanged)
                storeSnapshot(currentFrame);
        }
        delete stamp;
    }
    return currentFrame;
}

void LyricsDecoder::storeSnapshot(qint32 frame)
{
    pageChanged = false;
    current = new LyricsData(text, highlightStart, highlightEnd);
    snapshots.insert(frame, current);
    if (displayEnabled)
        emit LyricsChanged(current);
}

void LyricsDecoder::seekTo(qint32 frame)
{
    QMutexLocker locker(&mutex); // guards the page under construction and snapshots
    currentFrame = frame;
    if (!decoderReady || frame <= 0)
        return;
    soughtFrame = frame;
    IMCX_SeekFrame(frame, 0);
    if (!pageChanged)
        return;
    pageChanged = false;
    // Kept apart from the snapshots by frame: whether this frame changed anything, only the
    // history tells.
    sought = std::make_unique<LyricsData>(text, highlightStart, highlightEnd);
    current = sought.get();
}

void LyricsDecoder::announceCurrent()
{
    QMutexLocker locker(&mutex); // guards current
    if (current)
        emit LyricsChanged(current);
}

// The library replays the song up to where it stands, telling every change; each frame up to the
// one sought to that changed the lyrics keeps what stood after it. The page under construction is kept aside meanwhile.
void LyricsDecoder::makeHistory()
{
    const QString liveText = text;
    const qint32 liveStart = highlightStart, liveEnd = highlightEnd;
    text.clear();
    highlightStart = highlightEnd = 0;
    pageChanged = false;
    historyFrame = 0;
    IMCX_SeekFrame(IMCX_FramesFed(), 1);
    noteHistoryFrame(std::numeric_limits<qint32>::max());
    historyFrame = -1;
    soughtFrame = 0;
    text = liveText;
    highlightStart = liveStart;
    highlightEnd = liveEnd;
}

// While the history is made: a call for a new frame completes the one before it.
void LyricsDecoder::noteHistoryFrame(qint32 frame)
{
    if (historyFrame < 0 || frame == historyFrame)
        return;
    if (pageChanged && historyFrame > 0 && historyFrame <= soughtFrame)
        snapshots.insert(historyFrame, new LyricsData(text, highlightStart, highlightEnd));
    pageChanged = false;
    historyFrame = frame;
}

void LyricsDecoder::showFrame(qint32 frame)
{
    QMutexLocker locker(&mutex); // guards snapshots and the page under construction
    if (soughtFrame > 0 && frame <= soughtFrame)
        makeHistory();
    // value() gives the most recently inserted of the snapshots under that number
    if (LyricsData *lyrics = snapshots.value(frame))
        emit LyricsChanged(lyrics);
}

void LyricsDecoder::setDisplayEnabled(bool enabled)
{
    QMutexLocker locker(&mutex); // guards displayEnabled
    displayEnabled = enabled;
}

void LyricsDecoder::showText(const char16_t *page)
{
    QMutexLocker locker(&mutex); // guards the page under construction (held by processDue)
    noteHistoryFrame(IMCX_FramesFed());
    // The page stays UTF-16, so every script keeps its lines and the highlight positions match.
    text = page ? QString::fromUtf16(page) : QString();
    highlightStart = 0;
    highlightEnd = 0;
    pageChanged = true;
}

int32_t LyricsDecoder::setHighlight(int32_t start, int32_t length)
{
    QMutexLocker locker(&mutex); // guards the page under construction (held by processDue)
    noteHistoryFrame(IMCX_FramesFed());
    const qint64 end =
        std::clamp<qint64>(qint64(start) + length, std::numeric_limits<int32_t>::min(),
                           std::numeric_limits<int32_t>::max());
    highlightStart = start;
    highlightEnd = qint32(end);
    pageChanged = true;
    return highlightEnd;
}

