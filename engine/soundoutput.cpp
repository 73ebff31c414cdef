#include "soundoutput.h"

#include "buffersettings.h"
#include "contentstamp.h"
#include "frameslot.h"
#include "frametiming.h"
#include "kwo_mp3d.h"
#include "monotonicclock.h"
#include "soundbuffer.h"
#include "soundprocessor.h"
#include "soundsettings.h"
#include "volumestage.h"

#include <QMutexLocker>
#include <QObject>
#include <QtDebug>

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cstring>

std::atomic<bool> audioFeedActive{false};

namespace {
// The longest a waiting callback goes without looking at audioFeedActive, should a change of it
// not be signalled (a test, or a write outside endFeed()).
constexpr std::chrono::milliseconds longestWait{40};
constexpr int bytesPerSample = 4; // 16-bit stereo
} // namespace

SoundOutput *SoundOutput::Instance(const StreamInfo &streamInfo)
{
    return SingleInstance<SoundOutput>::obtain(instanceRules, streamInfo);
}

SoundOutput *SoundOutput::Instance()
{
    return SingleInstance<SoundOutput>::existing(instanceRules);
}

bool SoundOutput::hasAnInstance()
{
    return SingleInstance<SoundOutput>::hasAnInstance(instanceRules);
}

void SoundOutput::endFeed()
{
    audioFeedActive = false;
    if (SoundOutput *output = Instance())
        output->wakeCallback();
}

// The lock is taken and released before the signal so that a callback between its look at the
// flags and its wait cannot miss it.
void SoundOutput::wakeCallback()
{
    {
        QMutexLocker locker(&mutex); // orders the signal after the waiter's look at the fields
    }
    callbackWake.notify_all();
}

SoundOutput::SoundOutput(const StreamInfo &streamInfo)
{
    QMutexLocker locker(&mutex); // guards every field while the device opens
    bytesPerBuffer = installedFrames() * FrameTiming::bytesPerFrame;
    sampleRate = streamInfo.sampleRate;
    channels = std::max(streamInfo.channels, 1);
    processor = std::make_unique<SoundProcessor>(sampleRate);
    volume = std::make_unique<VolumeStage>();
    slice.resize(periodSamples * bytesPerSample);
    restTimer.setSingleShot(true);
    restTimer.setInterval(restAfterMs);
    QObject::connect(&restTimer, &QTimer::timeout, &restTimer, [this] { rest(); });
    if (SDL_WasInit(SDL_INIT_AUDIO) == 0 && SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        failure = QString::fromUtf8(SDL_GetError());
        qWarning("Unable to open the sound device: %s", qUtf8Printable(failure));
        return;
    }
    deviceOpen = openDevice(failure);
    // A sound card plays a slice once the one before it has played; the disk writer has nothing
    // playing and writes it at once.
    if (deviceOpen && qstrcmp(SDL_GetCurrentAudioDriver(), "disk") != 0)
        latency = qint64(periodSamples * 1000.0 / std::max(sampleRate, 1));
}

// Opens SDL's device paused: nothing is pulled until a mode operation runs it.
bool SoundOutput::openDevice(QString &failureText)
{
    SDL_AudioSpec desired;
    SDL_zero(desired);
    desired.freq = sampleRate;
    desired.format = AUDIO_S16LSB;
    desired.channels = Uint8(channels);
    desired.samples = periodSamples;
    desired.callback = audioCallback;
    desired.userdata = this;
    // No obtained spec: SDL converts to whatever the device takes and hands each callback
    // exactly the desired length instead of changing it.
    if (SDL_OpenAudio(&desired, nullptr) != 0) {
        failureText = QString::fromUtf8(SDL_GetError());
        qWarning("Unable to open the sound device: %s", qUtf8Printable(failureText));
        return false;
    }
    return true;
}

// SDL keeps a paused device's stream going with silence, so the sound server keeps running for
// it: a device left paused this long is closed, and opened again when sound is to play.
void SoundOutput::rest()
{
    {
        QMutexLocker locker(&mutex); // guards the mode flags, deviceOpen and resting
        if (playing || !deviceOpen || resting)
            return;
        resting = true;
    }
    SDL_CloseAudio(); // the callback is not running: the device is paused
}

SoundOutput::~SoundOutput()
{
    // Ends any wait for data, then closes the device without holding a lock the callback could
    // be blocked on: SDL_CloseAudio waits for the audio thread, whose callback takes this
    // object's lock. Only then the class mutex, so no callback can ever wait for it.
    setMode(false, true);
    bool wasOpen = false;
    {
        QMutexLocker locker(&mutex); // guards deviceOpen
        wasOpen = deviceOpen;
        deviceOpen = false;
    }
    restTimer.stop();
    if (wasOpen)
        SDL_CloseAudio(); // does nothing on a resting device

    SingleInstance<SoundOutput>::DestructorLock classLock(this); // guards the instance pointer
    QMutexLocker locker(&mutex); // guards the queue while it goes
    dropSound();
    passWanted = nullptr;
}

void SoundOutput::setMode(bool nowPlaying, bool nowIdle)
{
    {
        QMutexLocker locker(&mutex); // guards the mode flags and dataWanted
        playing = nowPlaying;
        idle = nowIdle;
        dataWanted = dataWanted && playing;
    }
    callbackWake.notify_all();
}

// SDL_PauseAudio waits for a running callback to return. A waiting callback returns once the
// mode is no longer playing, and it needs this object's lock to see that, so the mode is set
// first and SDL is called with the lock released. Idle, the device is paused, so the callback
// costs nothing between songs, while stopped, rewinding or fast-forwarding; the sound not yet
// played is dropped here, as the callback no longer runs to drop it.
bool SoundOutput::runDevice(bool nowPlaying)
{
    {
        QMutexLocker locker(&mutex); // guards the mode flags, the queue and deviceOpen
        if (!deviceOpen)
            return false;
        playing = nowPlaying;
        idle = !nowPlaying;
        dataWanted = dataWanted && playing;
        if (nowPlaying)
            audioFeedActive = true;
        else
            dropSound();
    }
    callbackWake.notify_all(); // a callback waiting under the old mode looks again
    if (!nowPlaying) {
        SDL_PauseAudio(1);
        restTimer.start();
        return true;
    }
    restTimer.stop();
    if (wake()) {
        SDL_PauseAudio(0);
        return true;
    }
    // A running device switched to playing needs no call: SDL would wait for a callback that may
    // already be waiting for data under the new mode, data only this thread could hand over.
    if (SDL_GetAudioStatus() != SDL_AUDIO_PLAYING)
        SDL_PauseAudio(0);
    return true;
}

// A resting device is opened again; true when it was resting.
bool SoundOutput::wake()
{
    {
        QMutexLocker locker(&mutex); // guards resting
        if (!resting)
            return false;
    }
    QString why;
    const bool opened = openDevice(why);
    QMutexLocker locker(&mutex); // guards resting, deviceOpen and failure
    resting = false;
    deviceOpen = opened;
    failure = why;
    return opened;
}

void SoundOutput::startPlaying()
{
    runDevice(true);
}

void SoundOutput::stopMode()
{
    runDevice(false);
}

void SoundOutput::pauseMode()
{
    bool open = false;
    {
        QMutexLocker locker(&mutex); // guards the mode flags, dataWanted and deviceOpen
        playing = false;
        idle = false;
        dataWanted = false;
        open = deviceOpen;
    }
    callbackWake.notify_all();
    if (open) {
        SDL_PauseAudio(1);
        restTimer.start();
    }
}

// The mode changes in the same locked step as the drop, so a callback woken by the engine's last
// delivery finds neither playing nor the sound; the device then stays paused until the next song.
void SoundOutput::endSong()
{
    {
        QMutexLocker locker(&mutex); // guards the mode flags, the queue, passWanted, requestTime
        playing = false;
        idle = true;
        dropSound();
        passWanted = nullptr;
        requestTime = neverRequested; // the next song's fast-forward stamps fall due at once
    }
    stopMode(); // wakes a waiting callback, which leaves with silence
}

QString SoundOutput::openFailure() const
{
    QMutexLocker locker(&mutex); // guards failure
    return failure;
}

bool SoundOutput::suits(const StreamInfo &streamInfo) const
{
    QMutexLocker locker(&mutex); // guards deviceOpen, sampleRate and channels
    return deviceOpen && sampleRate == streamInfo.sampleRate &&
           channels == std::max(streamInfo.channels, 1);
}

int SoundOutput::installedFrames()
{
    const BufferSettings *settings = BufferSettings::installed();
    return std::clamp(settings ? settings->bufferSize() : BufferSettings::minBufferSize,
                      BufferSettings::minBufferSize, BufferSettings::maxBufferSize);
}

void SoundOutput::setPassWanted(std::function<void()> wake)
{
    QMutexLocker locker(&mutex); // guards passWanted
    passWanted = std::move(wake);
}

bool SoundOutput::wantsData() const
{
    QMutexLocker locker(&mutex); // guards dataWanted
    return dataWanted;
}

bool SoundOutput::hasUnplayedBuffer() const
{
    QMutexLocker locker(&mutex); // guards the queue
    return !queue.isEmpty();
}

void SoundOutput::finishSound()
{
    {
        QMutexLocker locker(&mutex); // guards soundComplete
        if (soundComplete)
            return;
        soundComplete = true;
    }
    callbackWake.notify_all(); // a callback waiting for look-ahead plays on
}

bool SoundOutput::isDeviceOpen() const
{
    QMutexLocker locker(&mutex); // guards deviceOpen
    return deviceOpen;
}

qint64 SoundOutput::lastRequestTime() const
{
    QMutexLocker locker(&mutex); // guards requestTime
    return requestTime;
}

qint64 SoundOutput::stampOnlyDueOffset(int index, int frames)
{
    constexpr double frame = FrameTiming::millisecondsPerFrame;
    return qint64(index * frame / 4 + frames * frame / 4 - frame);
}

// The queue's front is where the next callback starts, a period after the last one, or at once
// when a callback waits for sound.
void SoundOutput::deliver(SoundBuffer *buffer, QList<ContentStamp *> *contentList)
{
    QMutexLocker locker(&mutex); // guards the queue, requestTime and dataWanted
    const int frames = installedFrames();
    const double msPerSample = 1000.0 / std::max(sampleRate, 1);
    const double heard =
        double(waiting ? MonotonicClock::now() : requestTime + qint64(periodSamples * msPerSample)) +
        double(latency);
    const qsizetype before = queue.size();
    bytesPerBuffer = frames * FrameTiming::bytesPerFrame;
    queue.resize(before + bytesPerBuffer);
    for (int i = 0; i < frames; ++i) {
        const qsizetype at = before + qsizetype(i) * FrameTiming::bytesPerFrame;
        auto *stamp = new ContentStamp;
        stamp->dueTime = qint64(heard + double(at / bytesPerSample) * msPerSample);
        char *pcm = queue.data() + at;
        if (const FrameSlot *slot = buffer ? buffer->nextSlot() : nullptr) {
            stamp->frameNumber = slot->frameNumber;
            std::memcpy(stamp->content, slot->content, FrameSlot::contentBytes);
            std::memcpy(pcm, slot->pcm, FrameTiming::bytesPerFrame);
        } else {
            std::memset(pcm, 0, FrameTiming::bytesPerFrame);
        }
        if (contentList)
            contentList->append(stamp);
        else
            delete stamp;
    }
    dataWanted = false;
    locker.unlock();
    callbackWake.notify_all(); // a callback waiting for sound plays on
}

void SoundOutput::stampOnly(SoundBuffer *buffer, QList<ContentStamp *> *contentList)
{
    if (!contentList)
        return;
    QMutexLocker locker(&mutex); // guards requestTime
    const int frames = installedFrames();
    for (int i = 0; i < frames; ++i) {
        auto *stamp = new ContentStamp;
        stamp->dueTime = requestTime + stampOnlyDueOffset(i, frames);
        if (const FrameSlot *slot = buffer ? buffer->nextSlot() : nullptr) {
            stamp->frameNumber = slot->frameNumber;
            std::memcpy(stamp->content, slot->content, FrameSlot::contentBytes);
        }
        contentList->append(stamp);
    }
}

void SoundOutput::audioCallback(void *userData, std::uint8_t *stream, int length)
{
    if (!stream || length <= 0)
        return;
    // SDL2 hands over the stream as the last callback left it: silence first, on every path.
    std::memset(stream, 0, std::size_t(length));
    if (!SingleInstance<SoundOutput>::hasClassMutex())
        return;
    // The callback takes no class mutex: the destructor closes the device, which waits for
    // this callback, before the instance goes, so the object SDL was given is alive here.
    if (!hasAnInstance()) {
        qWarning("No Sound Instance Exists!");
        return;
    }
    static_cast<SoundOutput *>(userData)->feed(stream, length);
}

void SoundOutput::askForSound()
{
    const qsizetype enough =
        bytesPerBuffer + qsizetype(SoundProcessor::lookAhead + periodSamples) * bytesPerSample;
    if (dataWanted || soundComplete || queue.size() >= enough)
        return;
    dataWanted = true;
    if (passWanted)
        passWanted();
}

void SoundOutput::dropSound()
{
    queue.clear();
    dataWanted = false;
    soundComplete = false;
    if (processor)
        processor->reset();
    if (volume)
        volume->reset();
}

// With the key moved or the vocals reduced the slice needs the look-ahead too, if more is coming.
void SoundOutput::feed(std::uint8_t *stream, int length)
{
    QMutexLocker locker(&mutex); // guards every field; released while waiting
    if (!playing) {
        if (idle)
            dropSound();
        return; // paused: the stream stays silent and the queue waits
    }
    requestTime = MonotonicClock::now();
    const int key = SoundSettings::key();
    const bool vocalsReduced = SoundSettings::vocalsReduced();
    const double gain = VolumeStage::settingsGain();
    const bool processing = key != 0 || vocalsReduced;
    const qsizetype needed =
        length + (processing ? qsizetype(SoundProcessor::lookAhead) * bytesPerSample : 0);
    waiting = true;
    // Held once here, so the wait releases the recursive lock fully.
    for (;;) {
        askForSound();
        if (queue.size() >= needed || soundComplete || !playing || !audioFeedActive)
            break;
        callbackWake.wait_for(mutex, longestWait);
    }
    waiting = false;
    if (!playing) {
        dataWanted = false; // left playing during the wait: silence, like idle
        return;
    }
    if (queue.isEmpty()) {
        if (!soundComplete)
            qWarning("Did not get the buffer to mix!");
        return;
    }
    playSlice(stream, length, key, vocalsReduced, gain);
    if (queue.isEmpty() && passWanted)
        passWanted(); // perhaps the end of the song to report
}

void SoundOutput::playSlice(std::uint8_t *stream, int length, int key, bool vocalsReduced,
                            double gain)
{
    // Never more than the queue holds, whatever length SDL asks for, unless the key stage makes it.
    int bytes = int(std::min<qsizetype>(length, queue.size()));
    if (slice.size() < length)
        slice.resize(length);
    auto *samples = reinterpret_cast<qint16 *>(slice.data());
    if (channels == 2 && processor) {
        bytes = length;
        processor->process(reinterpret_cast<const qint16 *>(queue.constData()),
                           int(queue.size() / bytesPerSample), samples, length / bytesPerSample,
                           key, vocalsReduced);
    } else {
        std::memcpy(samples, queue.constData(), size_t(bytes));
    }
    const int sampleBytes = 2 * std::max(channels, 1);
    if (volume)
        volume->apply(samples, bytes / sampleBytes, std::max(channels, 1), gain);
    SDL_MixAudio(stream, reinterpret_cast<const Uint8 *>(slice.constData()), Uint32(bytes),
                 SDL_MIX_MAXVOLUME);
    queue.remove(0, std::min<qsizetype>(length, queue.size()));
}
