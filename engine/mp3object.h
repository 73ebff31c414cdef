#ifndef MP3OBJECT_H
#define MP3OBJECT_H

#include "buffersettings.h"
#include "recursivemutex.h"
#include "singleinstance.h"

#include <QList>
#include <QObject>
#include <QString>

#include <deque>
#include <memory>

class FrameDecoder;
class LyricsData;
class LyricsDecoder;
class SoundBuffer;
class SoundOutput;
struct ContentStamp;

// Plays one song: owns its frame decoder, its pool of sound buffers and its lyrics decoder, and
// uses the sound output, which outlives it: a deleted engine leaves the device open, paused,
// for the next one, so a song change does not wait for the device to close. It has no thread of
// its own: the main window calls timergo() when there is work, and each pass fills, recycles and
// hands over buffers and moves the lyrics on; after a pass nextPassIn() says when the next one is
// wanted, and passWanted() asks for one at once (from a transport slot, or queued from the audio
// thread when the device asks for or takes a buffer). The transport slots are wired to the play
// control toolbar, the can...() signals to its buttons. Every change of song, stop or reload
// replaces the engine with a new one.
//
// GUI thread only; signals are delivered synchronously with stateLock held. Lock order: the
// class mutex, stateLock, bufferLock, setupLock, then the locks of the parts.
class MP3Object : public QObject
{
    Q_OBJECT

public:
    // The engine, built on first call for fileName and skipped ahead so that startFrame (if not
    // 0 and within the song) plays first, at the cost of a start at the beginning; its first pass
    // then shows the lyrics as they stand there. An existing engine is returned unchanged.
    static MP3Object *Instance(const QString &fileName, int startFrame);
    static MP3Object *Instance();
    static bool hasAnInstance();

    ~MP3Object() override;

    // Emits the five can...() signals for the current transport state.
    void updateControls();
    QString fileName() const;
    // The status bar's text for the transport state and song.
    QString statusText() const;
    // The frame being heard (or, while rewinding, shown).
    int position() const { return playPosition; }
    // The song's frame count; 0 when the file could not be opened.
    int totalFrames() const { return frameCount; }
    // Whether frames are still to be played: false for a file that did not open, for a song of
    // one frame (the decoder plays none) and once the last frame has been decoded.
    bool hasFramesToPlay() const;
    // Milliseconds until the next pass has something to do: 0 while work remains, the time to
    // the next lyrics stamp or paced step otherwise, -1 when only passWanted() or a request can
    // bring work (buffers full, the device not yet asking).
    int nextPassIn() const;
    // When the next content stamp falls due (MonotonicClock ms), the time the output expects its
    // frame to be heard; -1 with none waiting.
    qint64 nextDueTime() const;

public slots:
    void Rewind();
    void Play();
    void Pause();
    void Stop();
    void FastForward();
    // One pass of the pump: fill or recycle a buffer, hand one over, move the lyrics on.
    void timergo();
    void LyricsHaveChanged(LyricsData *lyrics);

signals:
    void canrewind(bool enabled);
    void canplay(bool enabled);
    void canpause(bool enabled);
    void canstop(bool enabled);
    void canff(bool enabled);
    // Asks to be replaced by an engine for the same song that starts at frame.
    void startAtrequest(int frame);
    // Asks to be replaced by a fresh engine for the same song.
    void stoprequest();
    // The song has ended; emitted on every pass from then on.
    void EOS();
    void DisplayLyrics(LyricsData *lyrics);
    // A pass is wanted now: the state changed, or the device asked for or took a buffer.
    void passWanted();
    // Play was refused: the sound device could not be opened, for reason (SDL's words). The
    // engine stays as it was; the next Play tries the device again.
    void soundUnavailable(const QString &reason);

private:
    friend class SingleInstance<MP3Object>;
    static constexpr InstanceRules instanceRules = {
        "Unable to generate the MP3Object!", nullptr, nullptr,
        "Asked about MP3Object instance without the mutex"};

    enum class Transport
    {
        Playing,
        Rewinding,
        Paused,
        Stopped,
        FastForwarding
    };

    MP3Object(const QString &fileName, int startFrame);

    void enterSilentState(Transport state);
    void allocateBuffers();
    void skipTo(int startFrame);
    void fillOrRecycle();
    void handOver();
    void advance();
    // Refilling or recycling would do something on the next pass.
    bool poolHasWork() const;
    // Milliseconds of pace between two fast-forwarded buffers or two rewind steps.
    int stepPace() const;
    // The output if it is still the live one (the shut-down may have deleted it).
    SoundOutput *liveOutput() const;
    // The output for the song: the open device when it suits, otherwise a new one.
    void obtainOutput();
    // An open device for a song that can play, tried again when the last attempt failed; false,
    // with soundUnavailable() emitted, when there is none.
    bool soundReady();

    using BufferList = std::deque<std::unique_ptr<SoundBuffer>>;

    QString songPath;
    Transport transport = Transport::Stopped; // exactly one state at a time
    int framesPerBuffer = BufferSettings::minBufferSize;
    int bufferTotal = BufferSettings::minBufferCount;
    int playPosition = 0; // the frame the user is at
    int frameCount = 0;
    bool lyricsToAnnounce = false; // started past the beginning: the first pass shows the lyrics
    qint64 stepDueAt = 0; // Pacing ms: the next rewind step or fast-forwarded buffer, not before

    std::unique_ptr<FrameDecoder> decoder;
    std::unique_ptr<LyricsDecoder> lyrics; // absent when the file could not be opened
    std::unique_ptr<SoundBuffer> fillBuffer;
    BufferList emptyList;                // cleared, waiting to be filled
    BufferList fullList;                 // filled, waiting to be played
    BufferList usedList;                 // played or skipped, waiting to be cleared
    QList<ContentStamp *> contentList;   // owned; in due order; the lyrics decoder reads it
    SoundOutput *output = nullptr;       // not owned; absent when the file could not be opened
    QString soundFailure;                // why the last Play found no device; empty once played

    // guards the transport state, songPath, playPosition and soundFailure
    mutable RecursiveMutex stateLock;
    mutable RecursiveMutex bufferLock; // guards the buffers, their lists and contentList
    RecursiveMutex setupLock;         // guards the buffer settings while the engine is built
};

#endif
