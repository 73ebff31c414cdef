#ifndef SOUNDOUTPUT_H
#define SOUNDOUTPUT_H

#include "recursivemutex.h"
#include "singleinstance.h"

#include <QByteArray>
#include <QList>
#include <QtGlobal>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <limits>

class SoundBuffer;
struct ContentStamp;
struct StreamInfo;

// Set while the engine plays; cleared (through SoundOutput::endFeed()) by the engine's Stop() and
// by the main window when it closes. While it is clear the audio callback does not wait for
// data. Any thread may use it.
extern std::atomic<bool> audioFeedActive;

// The sound device, fed through SDL's audio callback. It outlives the engines: every song is
// 44.1 kHz stereo, so one device serves song after song, running silent between them, and only a
// changed buffer size needs a new one. Each callback asks for one SoundBuffer worth of sound;
// while playing it waits until the engine's pump hands over the next full buffer with deliver(),
// which also stamps every frame with the time it will be heard, and wakes it at once. Modes: idle
// (the device runs silent), playing, paused.
//
// The mode operations, deliver and stampOnly run on the GUI thread and never hold the object's
// lock while calling into SDL, so a callback waiting for data can always be reached and ended.
class SoundOutput
{
public:
    // The instance, built on first call from streamInfo's rate and channels; null without the
    // class mutex. An existing instance is returned unchanged.
    static SoundOutput *Instance(const StreamInfo &streamInfo);
    static SoundOutput *Instance();
    // Reads the instance pointer without locking; any thread.
    static bool hasAnInstance();
    // Clears audioFeedActive and wakes a callback waiting for data, which then gives up.
    static void endFeed();

    // Closes the device first (which waits for a running callback to return), then takes the
    // class mutex; no callback can then be blocked on a lock this thread holds.
    ~SoundOutput();
    SoundOutput(const SoundOutput &) = delete;
    SoundOutput &operator=(const SoundOutput &) = delete;

    // Playing: the callback waits for data and plays it; sets audioFeedActive.
    void startPlaying();
    // Idle: the device runs and plays silence.
    void stopMode();
    // Paused: the device is paused.
    void pauseMode();
    // The end of an engine: idle, the sound not yet in the device stream dropped, setPassWanted
    // forgotten, so that nothing of the song is heard after it and nobody is woken for it.
    void endSong();
    // The device is open for streamInfo's rate and channels and for the installed buffer size.
    bool suits(const StreamInfo &streamInfo) const;
    // wake runs on the audio thread whenever the callback asks for a buffer or has taken one, so
    // that the pump can run then instead of looking all the time; it must not block (a queued
    // call to the GUI thread). Empty: nobody is told.
    void setPassWanted(std::function<void()> wake);
    // A callback is waiting for the next buffer.
    bool wantsData() const;
    // A delivered buffer has not yet gone into the device stream.
    bool hasUnplayedBuffer() const;
    bool isDeviceOpen() const;
    // When the callback last asked for data while playing (MonotonicClock ms); before the first
    // request, a time long past, so that fast-forward stamps made until then fall due at once.
    qint64 lastRequestTime() const;
    // Bytes of sound each callback asks for: bufferSize frames of 4608 bytes.
    int bufferBytes() const { return bytesPerBuffer; }

    // Copies the buffer's next bufferSize slots into the sound handed to the waiting callback
    // (silence where a slot is missing) and appends a stamp per frame, due when it will be heard.
    void deliver(SoundBuffer *buffer, QList<ContentStamp *> *contentList);
    // Appends the stamps of the buffer's next bufferSize slots, due at a quarter of the playing
    // pace, without sound; used by fast forward.
    void stampOnly(SoundBuffer *buffer, QList<ContentStamp *> *contentList);

    // Due time of frame index of a delivered buffer of frames frames, after the request:
    // (index + frames - 1) frame times, truncated to whole milliseconds.
    static qint64 deliverDueOffset(int index, int frames);
    // The same for fast forward: (index + frames) quarter frame times less one frame time.
    static qint64 stampOnlyDueOffset(int index, int frames);

private:
    friend class SingleInstance<SoundOutput>;
    // Both Instance forms return null silently without the class mutex; hasAnInstance is read
    // unlocked, from any thread.
    static constexpr InstanceRules instanceRules = {nullptr, nullptr, nullptr, nullptr, true, true};
    static constexpr qint64 neverRequested = std::numeric_limits<qint64>::min() / 2;

    explicit SoundOutput(const StreamInfo &streamInfo);

    // called on SDL's audio thread
    static void audioCallback(void *userData, std::uint8_t *stream, int length);
    // called on SDL's audio thread; stream already holds silence
    void feed(std::uint8_t *stream, int length);
    // Sets the mode flags under the lock; the caller then calls into SDL without it.
    void setMode(bool nowPlaying, bool nowIdle);
    // Playing or idle with the device running; false (nothing changed) without a device.
    bool runDevice(bool nowPlaying);
    int framesPerCallback() const;
    // Frames per callback for the installed buffer settings, within the device's limits.
    static int installedFrames();
    // Wakes a waiting callback to look again at the mode, the feed flag and the delivery.
    void wakeCallback();

    mutable RecursiveMutex mutex; // guards every field below but bytesPerBuffer
    bool playing = false;
    bool idle = true; // neither flag set: paused
    bool deviceOpen = false;
    bool dataWanted = false; // a callback waits for the next buffer
    QByteArray mixBuffer;    // the sound the callback mixes next; empty when none
    std::function<void()> passWanted; // see setPassWanted
    // Signalled, with mutex taken and released first, when anything the waiting callback looks
    // at changes: a delivery, a mode, the feed flag, the end of the object.
    std::condition_variable_any callbackWake;
    qint64 requestTime = neverRequested; // MonotonicClock ms
    int sampleRate = 0;                  // as opened
    int channels = 0;                    // as opened
    int bytesPerBuffer = 0;              // fixed when the device is opened
};

#endif
