#include "mp3object.h"

#include "buffersettings.h"
#include "contentstamp.h"
#include "framedecoder.h"
#include "frameslot.h"
#include "frametiming.h"
#include "karaokefiles.h"
#include "lyricsdata.h"
#include "lyricsdecoder.h"
#include "monotonicclock.h"
#include "pacing.h"
#include "soundbuffer.h"
#include "soundoutput.h"

#include <QMutexLocker>
#include <QtDebug>

#include <limits>
#include <new>

namespace {
// One rewind step back per pass, at most one per 6 ms: about four times the playing speed.
constexpr int rewindStepMilliseconds = 6;
// Nothing due: the next pass waits for a wake or a request.
constexpr int noPassDue = -1;

std::unique_ptr<SoundBuffer> takeFirst(std::deque<std::unique_ptr<SoundBuffer>> &list)
{
    std::unique_ptr<SoundBuffer> buffer = std::move(list.front());
    list.pop_front();
    return buffer;
}
} // namespace

MP3Object *MP3Object::Instance(const QString &fileName, int startFrame)
{
    return SingleInstance<MP3Object>::obtain(instanceRules, fileName, startFrame);
}

MP3Object *MP3Object::Instance()
{
    return SingleInstance<MP3Object>::existing(instanceRules);
}

bool MP3Object::hasAnInstance()
{
    return SingleInstance<MP3Object>::hasAnInstance(instanceRules);
}

MP3Object::MP3Object(const QString &fileName, int startFrame) : songPath(fileName)
{
    QMutexLocker bufferLocker(&bufferLock); // guards the buffers and their lists
    QMutexLocker setupLocker(&setupLock);   // guards the buffer settings

    if (BufferSettings *settings = BufferSettings::installed()) {
        settings->reload(); // puts the next-song buffer settings into effect
        framesPerBuffer = settings->bufferSize();
        bufferTotal = settings->bufferCount();
    }
    allocateBuffers();

    // A zipped karaoke song plays from its extracted .mp3; songPath stays the archive's.
    const QString audioPath = KaraokeFiles::audioFile(songPath);
    decoder = std::make_unique<FrameDecoder>(audioPath);
    if (decoder->isOpen()) {
        frameCount = decoder->totalFrames();
        obtainOutput();
        lyrics = std::make_unique<LyricsDecoder>(audioPath, &contentList);
        connect(lyrics.get(), &LyricsDecoder::LyricsChanged, this, &MP3Object::LyricsHaveChanged);
    }
    skipTo(startFrame);
}

// Only an unusual song (another rate or channel count) needs a new device; closing the old one then
// waits for SDL's audio thread.
void MP3Object::obtainOutput()
{
    SoundOutput *current = SoundOutput::Instance();
    if (current && !current->suits(decoder->streamInfo()))
        delete current;
    output = SoundOutput::Instance(decoder->streamInfo());
    if (output) {
        // Queued: the audio thread never waits for the GUI thread.
        output->setPassWanted([this] {
            QMetaObject::invokeMethod(this, &MP3Object::passWanted, Qt::QueuedConnection);
        });
    }
}

bool MP3Object::soundReady()
{
    if (!decoder->isOpen())
        return true; // nothing to play: the song ends as an unplayable one does
    if (!output || !output->isDeviceOpen())
        obtainOutput();
    if (output && output->isDeviceOpen()) {
        soundFailure.clear();
        return true;
    }
    soundFailure = output ? output->openFailure() : QString();
    if (soundFailure.isEmpty())
        soundFailure = QStringLiteral("the sound device could not be opened");
    emit soundUnavailable(soundFailure);
    return false;
}

void MP3Object::allocateBuffers()
{
    for (int i = 1; i <= bufferTotal; ++i) {
        std::unique_ptr<SoundBuffer> buffer;
        try {
            buffer = std::make_unique<SoundBuffer>(framesPerBuffer);
        } catch (const std::bad_alloc &) {
            qWarning("Unable to allocate buffer %d of %d", i, bufferTotal);
            continue;
        }
        buffer->clearSlots();
        emptyList.push_back(std::move(buffer));
    }
}

// Skips the frames before startFrame and puts the lyrics where playing them would have left them,
// neither decoding nor feeding them, so a start anywhere costs what a start at the beginning
// does. The position is there at once; the first pass shows those lyrics.
void MP3Object::skipTo(int startFrame)
{
    if (startFrame == 0 || startFrame >= frameCount || !lyrics)
        return;
    decoder->skip(startFrame - 1);
    lyrics->seekTo(startFrame - 1);
    playPosition = startFrame - 1;
    lyricsToAnnounce = true;
}

MP3Object::~MP3Object()
{
    SingleInstance<MP3Object>::DestructorLock classLock(this); // guards the instance pointer
    QMutexLocker stateLocker(&stateLock); // guards the transport state while the parts go
    decoder.reset();
    lyrics.reset();
    {
        QMutexLocker bufferLocker(&bufferLock); // guards the buffers and contentList
        QMutexLocker setupLocker(&setupLock);   // guards the buffer settings
        emptyList.clear();
        fullList.clear();
        fillBuffer.reset();
        qDeleteAll(contentList);
        contentList.clear();
        usedList.clear();
    }
    if (SoundOutput *current = liveOutput())
        current->endSong(); // the device stays open, paused, for the next engine
    output = nullptr;
}

SoundOutput *MP3Object::liveOutput() const
{
    return output && SoundOutput::hasAnInstance() && SoundOutput::Instance() == output ? output
                                                                                       : nullptr;
}

void MP3Object::updateControls()
{
    QMutexLocker locker(&stateLock); // guards transport
    const bool playing = transport == Transport::Playing;
    const bool stopped = transport == Transport::Stopped;
    emit canrewind(playing);
    emit canplay(!playing);
    emit canpause(playing);
    emit canstop(!stopped);
    emit canff(playing || stopped);
}

bool MP3Object::hasFramesToPlay() const
{
    QMutexLocker locker(&bufferLock); // guards the buffers and their lists
    return !fullList.empty() || (decoder && decoder->hasMoreFrames());
}

QString MP3Object::fileName() const
{
    QMutexLocker locker(&stateLock); // guards songPath
    return songPath;
}

QString MP3Object::statusText() const
{
    QMutexLocker locker(&stateLock); // guards transport, songPath and soundFailure
    if (!soundFailure.isEmpty() && transport != Transport::Playing)
        return QStringLiteral("No sound output: ") + soundFailure;
    switch (transport) {
    case Transport::Rewinding:
        return QStringLiteral("Rewinding ") + songPath;
    case Transport::Playing:
        return QStringLiteral("Playing ") + songPath;
    case Transport::Paused:
        return songPath + QStringLiteral(" is Paused");
    case Transport::Stopped:
        return songPath + QStringLiteral(" is Stoped");
    case Transport::FastForwarding:
        return QStringLiteral("Fast Forwarding ") + songPath;
    }
    return songPath;
}

void MP3Object::Rewind()
{
    enterSilentState(Transport::Rewinding);
}

// Rewind and fast forward run the device idle: the sound stops, the lyrics move on.
void MP3Object::enterSilentState(Transport state)
{
    QMutexLocker locker(&stateLock); // guards transport and stepDueAt
    transport = state;
    stepDueAt = Pacing::deadline(stepPace());
    if (output)
        output->stopMode();
    updateControls();
    emit passWanted();
}

int MP3Object::stepPace() const
{
    return transport == Transport::Rewinding
               ? rewindStepMilliseconds
               : int(framesPerBuffer * FrameTiming::millisecondsPerFrame / 4);
}

void MP3Object::Play()
{
    QMutexLocker locker(&stateLock); // guards transport and playPosition
    if (!soundReady()) {
        updateControls();
        emit passWanted(); // the status bar tells why
        return;
    }
    if (transport == Transport::Rewinding)
        emit startAtrequest(playPosition);
    transport = Transport::Playing;
    if (output)
        output->startPlaying();
    updateControls();
    emit passWanted();
}

void MP3Object::Pause()
{
    QMutexLocker locker(&stateLock); // guards transport
    transport = Transport::Paused;
    updateControls();
    if (output)
        output->pauseMode();
    emit passWanted();
}

void MP3Object::FastForward()
{
    enterSilentState(Transport::FastForwarding);
}

void MP3Object::Stop()
{
    SoundOutput::endFeed();                 // first, so that a callback waiting for data gives up
    QMutexLocker stateLocker(&stateLock);   // guards transport
    QMutexLocker bufferLocker(&bufferLock); // guards the buffers and their lists
    transport = Transport::Stopped;
    if (output)
        output->stopMode();
    decoder->rewind();
    if (fillBuffer) {
        fillBuffer->clearSlots();
        emptyList.push_back(std::move(fillBuffer));
    }
    for (BufferList *list : {&fullList, &usedList}) {
        while (!list->empty()) {
            std::unique_ptr<SoundBuffer> buffer = takeFirst(*list);
            buffer->clearSlots();
            emptyList.push_back(std::move(buffer));
        }
    }
    emit stoprequest();
    updateControls();
    emit passWanted();
}

void MP3Object::LyricsHaveChanged(LyricsData *lyricsData)
{
    emit DisplayLyrics(lyricsData);
}

void MP3Object::timergo()
{
    QMutexLocker stateLocker(&stateLock);   // guards transport and playPosition
    QMutexLocker bufferLocker(&bufferLock); // guards the buffers, their lists and contentList
    fillOrRecycle();
    handOver();
    advance();
}

// Fills the fill buffer whole, or recycles one used buffer and picks the next one to fill. The
// engine fills ahead in every state, so a stopped engine has all its buffers ready.
void MP3Object::fillOrRecycle()
{
    if (fillBuffer && decoder->hasMoreFrames()) {
        while (fillBuffer->hasRoom()) {
            FrameSlot *slot = fillBuffer->nextSlot();
            if (!slot)
                qWarning("Unable to obtain the frame to fill!");
            decoder->decodeNext(slot);
        }
        fillBuffer->resetCursor();
        fullList.push_back(std::move(fillBuffer));
        return;
    }
    if (!usedList.empty()) {
        std::unique_ptr<SoundBuffer> buffer = takeFirst(usedList);
        if (buffer) {
            buffer->clearSlots();
            emptyList.push_back(std::move(buffer));
        } else {
            qWarning("Unable to move buffer from used to empty");
        }
    }
    if (!fillBuffer && !emptyList.empty()) {
        fillBuffer = takeFirst(emptyList);
        if (!fillBuffer)
            qWarning("Unable to get next buffer!");
    }
}

void MP3Object::handOver()
{
    if (!fullList.empty() && transport == Transport::Playing && output && output->wantsData()) {
        std::unique_ptr<SoundBuffer> buffer = takeFirst(fullList);
        output->deliver(buffer.get(), &contentList);
        usedList.push_back(std::move(buffer));
    } else if (!fullList.empty() && transport == Transport::FastForwarding && output) {
        if (contentList.size() < framesPerBuffer && Pacing::now() >= stepDueAt) {
            stepDueAt = Pacing::deadline(stepPace());
            std::unique_ptr<SoundBuffer> buffer = takeFirst(fullList);
            output->stampOnly(buffer.get(), &contentList);
            usedList.push_back(std::move(buffer));
        }
    }
    if (fullList.empty() && !decoder->hasMoreFrames() && transport == Transport::Playing && output)
        output->finishSound(); // the device plays the rest without waiting for more
    // The song has ended once every frame is decoded and handed over, and the sound last
    // delivered has gone into the device stream: deleting the engine then cuts nothing off.
    if (fullList.empty() && !decoder->hasMoreFrames() && !(output && output->hasUnplayedBuffer()))
        emit EOS();
}

void MP3Object::advance()
{
    if (lyricsToAnnounce && lyrics) {
        lyricsToAnnounce = false;
        lyrics->announceCurrent();
    }
    switch (transport) {
    case Transport::Playing:
    case Transport::Paused:
    case Transport::FastForwarding:
        if (lyrics)
            playPosition = lyrics->processDue();
        break;
    case Transport::Rewinding:
        if (playPosition != 0) {
            if (Pacing::now() < stepDueAt)
                break;
            stepDueAt = Pacing::deadline(stepPace());
            if (lyrics) {
                --playPosition;
                lyrics->showFrame(playPosition);
            }
        } else {
            Stop();
        }
        break;
    case Transport::Stopped:
        break;
    }
}

bool MP3Object::poolHasWork() const
{
    return !usedList.empty() || (decoder->hasMoreFrames() && (fillBuffer || !emptyList.empty()));
}

qint64 MP3Object::nextDueTime() const
{
    QMutexLocker bufferLocker(&bufferLock); // guards contentList
    return contentList.isEmpty() ? -1 : contentList.first()->dueTime;
}

int MP3Object::nextPassIn() const
{
    QMutexLocker stateLocker(&stateLock);   // guards transport, playPosition and stepDueAt
    QMutexLocker bufferLocker(&bufferLock); // guards the buffers, their lists and contentList
    if (poolHasWork())
        return 0;
    const bool playing = transport == Transport::Playing;
    if (playing && !fullList.empty() && output && output->wantsData())
        return 0;
    qint64 wait = noPassDue;
    const auto dueIn = [&wait](qint64 milliseconds) {
        milliseconds = qMax<qint64>(milliseconds, 0);
        wait = wait == noPassDue ? milliseconds : qMin(wait, milliseconds);
    };
    switch (transport) {
    case Transport::Rewinding:
        if (playPosition == 0)
            return 0; // the next pass stops
        dueIn(stepDueAt - Pacing::now());
        break;
    case Transport::FastForwarding:
        if (!fullList.empty() && output && contentList.size() < framesPerBuffer)
            dueIn(stepDueAt - Pacing::now());
        [[fallthrough]];
    case Transport::Playing:
    case Transport::Paused:
        // A stamp counts once its due time has passed, so one millisecond after it.
        if (lyrics && !contentList.isEmpty())
            dueIn(contentList.first()->dueTime + 1 - MonotonicClock::now());
        break;
    case Transport::Stopped:
        break;
    }
    return int(qMin<qint64>(wait, std::numeric_limits<int>::max()));
}
