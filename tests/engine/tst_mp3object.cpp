// The playback engine on a scripted song: how its pump fills the buffer pool, the transport
// states and the order of their signals, rewind and fast forward with their pacing, the skip to
// a start frame and the end of a song. Pacing pauses are recorded, not slept.

#include "enginetestenvironment.h"
#include "lyricsdata.h"
#include "mp3object.h"
#include "scriptedsong.h"
#include "soundoutput.h"

#include <QFile>
#include <QtTest>

#include <SDL.h>

namespace {

QString describe(const LyricsData *lyrics)
{
    if (!lyrics)
        return QStringLiteral("none");
    return QStringLiteral("\"%1\" %2-%3")
        .arg(lyrics->text)
        .arg(lyrics->highlightStart)
        .arg(lyrics->highlightEnd);
}

QString deviceState()
{
    switch (SDL_GetAudioStatus()) {
    case SDL_AUDIO_PLAYING:
        return QStringLiteral("running");
    case SDL_AUDIO_PAUSED:
        return QStringLiteral("paused");
    default:
        return QStringLiteral("closed");
    }
}

// Everything an engine says, in order; the last control signal also notes what the device was
// doing at that moment. The end of the song and lyrics are counted apart.
class Recorder : public QObject
{
public:
    explicit Recorder(MP3Object *engine)
    {
        const auto control = [this](const char *name) {
            return [this, name](bool enabled) {
                seen << QStringLiteral("%1(%2)").arg(
                    QLatin1String(name), enabled ? QLatin1String("true") : QLatin1String("false"));
            };
        };
        connect(engine, &MP3Object::canrewind, this, control("canrewind"));
        connect(engine, &MP3Object::canplay, this, control("canplay"));
        connect(engine, &MP3Object::canpause, this, control("canpause"));
        connect(engine, &MP3Object::canstop, this, control("canstop"));
        connect(engine, &MP3Object::canff, this, [this](bool enabled) {
            seen << QStringLiteral("canff(%1) device %2")
                        .arg(enabled ? QLatin1String("true") : QLatin1String("false"),
                             deviceState());
        });
        connect(engine, &MP3Object::startAtrequest, this,
                [this](int frame) { seen << QStringLiteral("startAtrequest(%1)").arg(frame); });
        connect(engine, &MP3Object::stoprequest, this, [this] { seen << "stoprequest"; });
        connect(engine, &MP3Object::EOS, this, [this] { ++ends; });
        connect(engine, &MP3Object::DisplayLyrics, this,
                [this](LyricsData *lyrics) { shown << describe(lyrics); });
    }

    QStringList seen;
    QStringList shown;
    int ends = 0;
};

// Runs the named transport slot, or "pass" for one pump pass.
void act(MP3Object *engine, const QString &action)
{
    if (action == "Play")
        engine->Play();
    else if (action == "Pause")
        engine->Pause();
    else if (action == "Stop")
        engine->Stop();
    else if (action == "Rewind")
        engine->Rewind();
    else if (action == "FastForward")
        engine->FastForward();
    else if (action == "pass")
        engine->timergo();
    else
        QFAIL(qPrintable("unknown action " + action));
}

void passes(MP3Object *engine, int count)
{
    for (int i = 0; i < count; ++i)
        engine->timergo();
}

QStringList controls(bool rewind, bool play, bool pause, bool stop, bool ff, const char *device)
{
    const auto text = [](bool b) { return b ? QStringLiteral("true") : QStringLiteral("false"); };
    return {"canrewind(" + text(rewind) + ")", "canplay(" + text(play) + ")",
            "canpause(" + text(pause) + ")", "canstop(" + text(stop) + ")",
            "canff(" + text(ff) + ") device " + QLatin1String(device)};
}

// Lines every half second: pages and wipes at about frames 1, 19, 38, 57 and 77.
const char *const fiveLines = "[00:00.00]Alpha beta\n"
                              "[00:00.50]Gamma delta\n"
                              "[00:01.00]Epsilon zeta\n"
                              "[00:01.50]Eta theta\n"
                              "[00:02.00]Iota kappa\n";

// A scripted song of frames frames at path, with the lyrics beside it when lrc is given.
QString scriptedSong(const EngineTestEnvironment &environment, int frames, const char *lrc)
{
    const QString path = environment.filePath("song.mp3");
    ScriptedSong::reset(frames);
    if (lrc) {
        QFile sidecar(environment.filePath("song.lrc"));
        if (!sidecar.open(QIODevice::WriteOnly) || sidecar.write(lrc) < 0)
            qWarning("cannot write the lyrics");
    }
    return path;
}

// Fast forwards from the start with one frame per buffer up to frame last; what the lyrics
// showed, frame by frame (frames that showed nothing left out).
QList<QPair<int, QStringList>> lyricsByFrame(MP3Object *engine, Recorder &recorder, int last)
{
    QList<QPair<int, QStringList>> byFrame;
    engine->FastForward();
    for (int guard = 0; engine->position() < last && guard < 4 * last; ++guard) {
        recorder.shown.clear();
        engine->timergo();
        if (!recorder.shown.isEmpty())
            byFrame.append({engine->position(), recorder.shown});
    }
    return byFrame;
}

} // namespace

class TestMP3Object : public QObject
{
    Q_OBJECT

private slots:
    void stoppedEngineFillsEveryBuffer_data();
    void stoppedEngineFillsEveryBuffer();
    void unopenableFileEndsOnFirstPass();
    void transportSignals_data();
    void transportSignals();
    void rewindShowsEachStoredPageBackToZeroThenStops();
    void fastForwardPacing_data();
    void fastForwardPacing();
    void fastForwardWaitsForPendingStamps();
    void fastForwardRunsToTheEnd();
    void skipToStartFrame_data();
    void skipToStartFrame();
    void skipLeavesTheLyricsAtTheStartFrame();
    void shutDownDeletesTheOutputBeforeALeftOverEngine();
};

// One pass takes a buffer, the next fills it: 2 x bufferTotal passes fill the whole pool, and
// with full buffers waiting no end of song is reported.
void TestMP3Object::stoppedEngineFillsEveryBuffer_data()
{
    QTest::addColumn<int>("bufferSize");
    QTest::addColumn<int>("bufferCount");
    QTest::addColumn<int>("frames");
    QTest::addRow("6 buffers of 1 frame") << 1 << 6 << 100;
    QTest::addRow("20 buffers of 20 frames") << 20 << 20 << 1000;
    QTest::addRow("song ends in the third of 6 buffers") << 4 << 6 << 10;
}

void TestMP3Object::stoppedEngineFillsEveryBuffer()
{
    QFETCH(int, bufferSize);
    QFETCH(int, bufferCount);
    QFETCH(int, frames);
    EngineTestEnvironment environment(10);
    environment.setBuffers(bufferSize, bufferCount);
    MP3Object *engine = MP3Object::Instance(scriptedSong(environment, frames, nullptr), 0);
    QVERIFY(engine);
    QCOMPARE(engine->totalFrames(), frames);
    Recorder recorder(engine);

    for (int pass = 1; pass <= 2 * bufferCount; ++pass) {
        engine->timergo();
        QCOMPARE(ScriptedSong::framesDecoded(), qMin(frames, pass / 2 * bufferSize));
    }
    passes(engine, 4); // nothing left to take
    QCOMPARE(ScriptedSong::framesDecoded(), qMin(frames, bufferCount * bufferSize));
    QCOMPARE(recorder.ends, 0);
    QCOMPARE(engine->position(), 0);
}

void TestMP3Object::unopenableFileEndsOnFirstPass()
{
    EngineTestEnvironment environment(10);
    environment.setBuffers(4, 6);
    ScriptedSong::reset(100, false);
    MP3Object *engine = MP3Object::Instance(environment.filePath("song.mp3"), 0);
    QVERIFY(engine);
    QCOMPARE(engine->totalFrames(), 0);
    QVERIFY(!SoundOutput::hasAnInstance());
    Recorder recorder(engine);
    engine->timergo();
    QCOMPARE(recorder.ends, 1);
    engine->timergo();
    QCOMPARE(recorder.ends, 2);

    // Without a device the slots change only the state and the controls.
    engine->Play();
    passes(engine, 2);
    QCOMPARE(recorder.seen, controls(true, false, true, true, true, "closed"));
    QCOMPARE(engine->statusText(), environment.filePath("song.mp3").prepend("Playing "));
}

// Each slot's signals in order, and the status text of the state it leads to. Play while
// rewinding first asks for a new engine at the rewound frame; Pause reports the controls while
// the device still runs; Stop asks to be replaced before it reports the controls, and leaves
// the position alone.
void TestMP3Object::transportSignals_data()
{
    QTest::addColumn<QStringList>("prelude");
    QTest::addColumn<QString>("slot");
    QTest::addColumn<QStringList>("signalsInOrder");
    QTest::addColumn<QString>("deviceAfter");
    QTest::addColumn<int>("positionAfter");
    QTest::addColumn<QString>("status");

    const QStringList toFrame4 = {"FastForward", "pass", "pass"}; // one buffer of 4 frames
    QTest::addRow("updateControls on a new engine")
        << QStringList{} << "updateControls" << controls(false, true, false, false, true, "paused")
        << "paused" << 0 << "%1 is Stoped";
    QTest::addRow("Play from stopped")
        << QStringList{} << "Play" << controls(true, false, true, true, true, "running")
        << "running" << 0 << "Playing %1";
    QTest::addRow("Pause while playing")
        << QStringList{"Play"} << "Pause" << controls(false, true, false, true, false, "running")
        << "paused" << 0 << "%1 is Paused";
    QTest::addRow("Rewind while playing")
        << QStringList{"Play"} << "Rewind" << controls(false, true, false, true, false, "running")
        << "running" << 0 << "Rewinding %1";
    QTest::addRow("FastForward from stopped")
        << QStringList{} << "FastForward" << controls(false, true, false, true, false, "running")
        << "running" << 0 << "Fast Forwarding %1";
    QTest::addRow("Stop after fast forward")
        << toFrame4 << "Stop"
        << QStringList{"stoprequest"} + controls(false, true, false, false, true, "running")
        << "running" << 4 << "%1 is Stoped";
    QTest::addRow("Play while rewinding")
        << toFrame4 + QStringList{"Rewind", "pass", "pass"} << "Play"
        << QStringList{"startAtrequest(2)"} + controls(true, false, true, true, true, "running")
        << "running" << 2 << "Playing %1";
    QTest::addRow("Play while paused")
        << toFrame4 + QStringList{"Pause"} << "Play"
        << controls(true, false, true, true, true, "running") << "running" << 4 << "Playing %1";
}

void TestMP3Object::transportSignals()
{
    QFETCH(QStringList, prelude);
    QFETCH(QString, slot);
    QFETCH(QStringList, signalsInOrder);
    QFETCH(QString, deviceAfter);
    QFETCH(int, positionAfter);
    QFETCH(QString, status);
    EngineTestEnvironment environment(10);
    environment.setBuffers(4, 6);
    const QString song = scriptedSong(environment, 100, nullptr);
    MP3Object *engine = MP3Object::Instance(song, 0);
    QVERIFY(engine);
    for (const QString &action : std::as_const(prelude))
        act(engine, action);
    Recorder recorder(engine);
    if (slot == "updateControls")
        engine->updateControls();
    else
        act(engine, slot);
    QCOMPARE(recorder.seen, signalsInOrder);
    QCOMPARE(deviceState(), deviceAfter);
    QCOMPARE(engine->position(), positionAfter);
    QCOMPARE(engine->statusText(), status.arg(song));
    QCOMPARE(engine->fileName(), song);
}

// Rewinding steps back one frame per pass, 6 ms apart, and shows every page stored on the
// way, back to the empty page of frame 0; the pass after that stops the engine.
void TestMP3Object::rewindShowsEachStoredPageBackToZeroThenStops()
{
    EngineTestEnvironment environment(10);
    environment.setBuffers(1, 6);
    MP3Object *engine = MP3Object::Instance(scriptedSong(environment, 200, fiveLines), 0);
    QVERIFY(engine);
    Recorder recorder(engine);
    const QList<QPair<int, QStringList>> forward = lyricsByFrame(engine, recorder, 45);
    QCOMPARE(engine->position(), 45);
    QVERIFY(forward.size() >= 2);
    QStringList expected;
    for (auto it = forward.crbegin(); it != forward.crend(); ++it) {
        if (it->first < 45)
            expected << it->second.last();
    }
    expected << QStringLiteral("\"\" 0-0"); // the empty page of frame 0
    EngineTestEnvironment::sleeps();

    engine->Rewind();
    recorder.shown.clear();
    recorder.seen.clear();
    passes(engine, 45);
    QCOMPARE(engine->position(), 0);
    QCOMPARE(recorder.shown, expected);
    QCOMPARE(EngineTestEnvironment::sleeps(), QList<int>(45, 6));
    QVERIFY(!recorder.seen.contains("stoprequest"));

    engine->timergo();
    QCOMPARE(recorder.seen.first(), QStringLiteral("stoprequest"));
    QVERIFY(engine->statusText().endsWith(" is Stoped"));
    QVERIFY(EngineTestEnvironment::sleeps().isEmpty());
}

// A new engine has made no request, so every fast-forward stamp is due at once: each buffer
// costs one pause of a quarter of its playing time, and the position moves a buffer a time.
void TestMP3Object::fastForwardPacing_data()
{
    QTest::addColumn<int>("bufferSize");
    QTest::addColumn<int>("pause");
    QTest::addRow("1 frame") << 1 << 6;
    QTest::addRow("20 frames") << 20 << 130;
    QTest::addRow("56 frames") << 56 << 365;
}

void TestMP3Object::fastForwardPacing()
{
    QFETCH(int, bufferSize);
    QFETCH(int, pause);
    EngineTestEnvironment environment(10);
    environment.setBuffers(bufferSize, 6);
    MP3Object *engine = MP3Object::Instance(scriptedSong(environment, 1000, nullptr), 0);
    QVERIFY(engine);
    engine->FastForward();
    for (int buffer = 1; buffer <= 3; ++buffer) {
        passes(engine, 2);
        QCOMPARE(engine->position(), buffer * bufferSize);
        QCOMPARE(EngineTestEnvironment::sleeps(), QList<int>{pause});
    }
}

// Stamps of a delivered buffer fall due a buffer time after the device asked; while a buffer's
// worth of them waits, fast forward adds none and does not pause.
void TestMP3Object::fastForwardWaitsForPendingStamps()
{
    EngineTestEnvironment environment(10);
    environment.setBuffers(56, 6); // the first delivered stamp is due 1.4 s after the request
    MP3Object *engine = MP3Object::Instance(scriptedSong(environment, 1000, nullptr), 0);
    QVERIFY(engine);
    passes(engine, 4);
    engine->Play();
    QTRY_VERIFY(SoundOutput::Instance()->wantsData());
    engine->timergo(); // delivers
    QVERIFY(!SoundOutput::Instance()->wantsData());
    engine->FastForward();
    passes(engine, 4);
    QVERIFY(EngineTestEnvironment::sleeps().isEmpty());
    QCOMPARE(engine->position(), 0);

    // Once they fall due, fast forward goes on beyond the delivered frames, pausing again.
    QTRY_VERIFY_WITH_TIMEOUT((engine->timergo(), engine->position() > 56), 10000);
    QVERIFY(!EngineTestEnvironment::sleeps().isEmpty());
}

// At the end, EOS() comes on the pass that stamps the last buffer and on every pass after.
void TestMP3Object::fastForwardRunsToTheEnd()
{
    EngineTestEnvironment environment(10);
    environment.setBuffers(4, 6);
    MP3Object *engine = MP3Object::Instance(scriptedSong(environment, 10, nullptr), 0);
    QVERIFY(engine);
    Recorder recorder(engine);
    engine->FastForward();
    passes(engine, 5); // frames 1-4 and 5-8 stamped
    QCOMPARE(engine->position(), 8);
    QCOMPARE(recorder.ends, 0);
    engine->timergo(); // frames 9, 10 and the end
    QCOMPARE(recorder.ends, 1);
    passes(engine, 3);
    QCOMPARE(recorder.ends, 4);
}

// A start frame within the song plays first; 0, the last frame or beyond play from the start.
void TestMP3Object::skipToStartFrame_data()
{
    QTest::addColumn<int>("startFrame");
    QTest::addColumn<int>("firstFrame");
    QTest::addRow("0") << 0 << 1;
    QTest::addRow("1") << 1 << 1;
    QTest::addRow("2") << 2 << 2;
    QTest::addRow("30") << 30 << 30;
    QTest::addRow("the last frame") << 99 << 99;
    QTest::addRow("the frame count") << 100 << 1;
    QTest::addRow("beyond the song") << 150 << 1;
}

void TestMP3Object::skipToStartFrame()
{
    QFETCH(int, startFrame);
    QFETCH(int, firstFrame);
    EngineTestEnvironment environment(10);
    environment.setBuffers(1, 6);
    MP3Object *engine = MP3Object::Instance(scriptedSong(environment, 100, nullptr), startFrame);
    QVERIFY(engine);
    QCOMPARE(engine->position(), 0);
    engine->FastForward();
    passes(engine, 2);
    QCOMPARE(engine->position(), firstFrame);
}

// The skipped frames' lyrics are taken in silently: the first pass shows nothing and stands on
// the frame before the start, and from there on the pages are those of a song played through.
void TestMP3Object::skipLeavesTheLyricsAtTheStartFrame()
{
    QList<QPair<int, QStringList>> playedThrough;
    {
        EngineTestEnvironment environment(10);
        environment.setBuffers(1, 6);
        MP3Object *engine = MP3Object::Instance(scriptedSong(environment, 200, fiveLines), 0);
        QVERIFY(engine);
        Recorder recorder(engine);
        playedThrough = lyricsByFrame(engine, recorder, 80);
    }
    QList<QPair<int, QStringList>> fromFrame30;
    for (const auto &entry : std::as_const(playedThrough)) {
        if (entry.first >= 30)
            fromFrame30 << entry;
    }
    QVERIFY(!fromFrame30.isEmpty());
    QVERIFY(fromFrame30.size() < playedThrough.size());

    EngineTestEnvironment environment(10);
    environment.setBuffers(1, 6);
    MP3Object *engine = MP3Object::Instance(scriptedSong(environment, 200, fiveLines), 30);
    QVERIFY(engine);
    Recorder recorder(engine);
    engine->Pause();
    engine->timergo();
    QCOMPARE(engine->position(), 29);
    QVERIFY(recorder.shown.isEmpty());
    QCOMPARE(lyricsByFrame(engine, recorder, 80), fromFrame30);
}

// The shut-down deletes the remaining single instances, the sound output first; an engine left
// over must then leave that output alone instead of settling and deleting it again.
void TestMP3Object::shutDownDeletesTheOutputBeforeALeftOverEngine()
{
    EngineTestEnvironment environment(10);
    environment.setBuffers(1, 6);
    MP3Object *engine = MP3Object::Instance(scriptedSong(environment, 50, nullptr), 0);
    QVERIFY(engine);
    engine->Play();
    passes(engine, 4);
    SingleInstance<SoundOutput>::destroy();
    QVERIFY(!SoundOutput::hasAnInstance());
    SingleInstance<MP3Object>::destroy();
    QVERIFY(!MP3Object::hasAnInstance());
    QVERIFY(EngineTestEnvironment::sleeps().isEmpty()); // no resetDevice on the deleted output
}

QTEST_MAIN(TestMP3Object)
#include "tst_mp3object.moc"
