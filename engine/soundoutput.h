#ifndef SOUNDOUTPUT_H
#define SOUNDOUTPUT_H

#include "recursivemutex.h"
#include "singleinstance.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QTimer>
#include <QtGlobal>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>

class SoundBuffer;
class SoundProcessor;
class VolumeStage;
struct ContentStamp;
struct StreamInfo;

// Set while the engine plays; cleared (through SoundOutput::endFeed()) by the engine's Stop() and
// by the main window when it closes. While it is clear the audio callback does not wait for
// data. Any thread may use it.
extern std::atomic<bool> audioFeedActive;

// The sound device, fed through SDL's audio callback. It outlives the engines: every song is
// 44.1 kHz stereo, so one device serves song after song, paused between them. The device
// period is one frame (1152 samples, 26 ms), whatever the buffer size, so that a change of key or
// vocals is heard within a few periods and a song change costs about one. Delivered buffers wait
// in a queue; each callback plays the next slice of it through the SoundProcessor (key and
// vocals, SoundSettings) and the volume stage, and asks for the next buffer (wantsData(), and a wake of the pump) when
// less than one buffer plus the processor's look-ahead is queued, so the GUI thread has a whole
// buffer's time to hand it over. Only with nothing to play does the callback wait for a delivery.
// deliver() stamps every frame with the time it will be heard: the time of the last callback, the
// sound queued before the frame and the device's own latency. Modes: idle (the device paused,
// silent, the queue is dropped), playing, paused.
//
// The callback processes each slice with the object's lock held (a millisecond or two when the
// key is moved), so a delivery may wait that long.
//
// Paused (idle or paused mode), SDL still streams silence to the sound server, which so keeps
// running for it; after three seconds so, the device rests: it is closed, and opened again when a
// song plays. Seeks, song changes, rewind and fast forward stay well within that time.
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
    // Idle: the device is paused and the queued sound dropped.
    void stopMode();
    // Paused: the device is paused.
    void pauseMode();
    // The end of an engine: idle, the sound not yet in the device stream dropped, setPassWanted
    // forgotten, so that nothing of the song is heard after it and nobody is woken for it.
    void endSong();
    // The device is open for streamInfo's rate and channels.
    bool suits(const StreamInfo &streamInfo) const;
    // wake runs on the audio thread whenever the callback asks for a buffer or has played all, so
    // that the pump can run then instead of looking all the time; it must not block (a queued
    // call to the GUI thread). Empty: nobody is told.
    void setPassWanted(std::function<void()> wake);
    // The next buffer is wanted: the device has asked and nothing has been delivered since.
    bool wantsData() const;
    // Delivered sound has not yet gone into the device stream.
    bool hasUnplayedBuffer() const;
    // Nothing more will be delivered for this song: the callback plays what is queued to the
    // end, the key stage's look-ahead past it being silence, instead of waiting for more.
    void finishSound();
    bool isDeviceOpen() const;
    // Why the device could not be opened, in SDL's words; empty while it is open.
    QString openFailure() const;
    // When the callback last asked for data while playing (MonotonicClock ms); before the first
    // request, a time long past, so that fast-forward stamps made until then fall due at once.
    qint64 lastRequestTime() const;
    // Samples per channel of each callback: one frame.
    static constexpr int periodSamples = 1152;

    // Queues the buffer's next bufferSize slots (silence where a slot is missing) behind the
    // sound not yet played, and appends a stamp per frame, due when it will be heard.
    void deliver(SoundBuffer *buffer, QList<ContentStamp *> *contentList);
    // Appends the stamps of the buffer's next bufferSize slots, due at a quarter of the playing
    // pace, without sound; used by fast forward.
    void stampOnly(SoundBuffer *buffer, QList<ContentStamp *> *contentList);

    // Due time of frame index of a buffer stamped for fast forward, after the last request:
    // (index + frames) quarter frame times less one frame time.
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
    // Playing with the device running, or idle with it paused; false (nothing changed) without a
    // device. A device left paused for restAfterMs rests (closed at SDL) until it plays again.
    bool runDevice(bool nowPlaying);
    // Frames per buffer for the installed buffer settings, within their limits.
    static int installedFrames();
    // SDL's device opened for sampleRate and channels, paused; GUI thread.
    bool openDevice(QString &failureText);
    // Closes a device left paused, so the sound server forgets the stream; GUI thread.
    void rest();
    // Opens a resting device again; true when it was resting. GUI thread.
    bool wake();
    // Asks the pump for the next buffer when the queue runs short; under the lock.
    void askForSound();
    // Forgets the queued sound and the processor's state; under the lock.
    void dropSound();
    // Takes the next slice of length bytes from the queue into stream, processed for key and
    // vocalsReduced, then scaled by gain; under the lock.
    void playSlice(std::uint8_t *stream, int length, int key, bool vocalsReduced, double gain);
    // Wakes a waiting callback to look again at the mode, the feed flag and the delivery.
    void wakeCallback();

    mutable RecursiveMutex mutex; // guards every field below
    bool playing = false;
    bool idle = true; // neither flag set: paused
    bool deviceOpen = false;
    bool resting = false;       // closed at SDL while paused or idle; opened again to play
    bool dataWanted = false;    // the next buffer is wanted
    bool waiting = false;       // a callback waits for sound to play
    bool soundComplete = false; // see finishSound
    QByteArray queue;           // delivered sound not yet played, from the play head on
    QByteArray slice;           // the processed slice
    std::unique_ptr<SoundProcessor> processor;
    std::unique_ptr<VolumeStage> volume;
    std::function<void()> passWanted; // see setPassWanted
    // Signalled, with mutex taken and released first, when anything the waiting callback looks
    // at changes: a delivery, a mode, the feed flag, the end of the object.
    std::condition_variable_any callbackWake;
    qint64 requestTime = neverRequested; // MonotonicClock ms
    int sampleRate = 0;                  // as opened
    int channels = 0;                    // as opened
    qint64 latency = 0;                  // ms from a callback to its sound being heard
    int bytesPerBuffer = 0;              // of the last delivered buffer
    QString failure;                     // see openFailure
    QTimer restTimer;                    // GUI thread: runs while the device is paused
    static constexpr int restAfterMs = 3000;
};

#endif
