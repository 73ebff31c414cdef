// The playback engine on a stand-in of the decoder library: how its pump fills the buffer pool,
// fast forward to the end of a song, the transport states and the order of their signals,
// rewind, and the skip to a start frame. Paces are recorded on a pacing clock of the test's own.

#include "enginetestenvironment.h"
#include "lyricsdata.h"
#include "mp3fixtures.h"
#include "mp3object.h"
#include "scriptedsong.h"
#include "soundoutput.h"

#include <QtTest>

#include <SDL.h>

using ScriptedSong::song;

namespace {

QString deviceState()
{
    const char *const names[] = {"closed", "running", "paused"}; // SDL_AudioStatus
    return QLatin1String(names[SDL_GetAudioStatus()]);
}

// Everything an engine says, in order ("canplay=1"); canff, the last control signal, also
// notes what the device was doing at that moment. The lyrics shown are kept apart.
class Recorder : public QObject
{
public:
    explicit Recorder(MP3Object *engine)
    {
        const auto control = [this](const char *name) {
            return [this, name](bool on) { seen << QStringLiteral("%1=%2").arg(name).arg(on); };
        };
        connect(engine, &MP3Object::canrewind, this, control("canrewind"));
        connect(engine, &MP3Object::canplay, this, control("canplay"));
        connect(engine, &MP3Object::canpause, this, control("canpause"));
        connect(engine, &MP3Object::canstop, this, control("canstop"));
        connect(engine, &MP3Object::canff, this, [this](bool on) {
            seen << QStringLiteral("canff=%1@%2").arg(on).arg(deviceState());
        });
        connect(engine, &MP3Object::startAtrequest, this,
                [this](int frame) { seen << QStringLiteral("startAtrequest(%1)").arg(frame); });
        connect(engine, &MP3Object::stoprequest, this, [this] { seen << "stoprequest"; });
        connect(engine, &MP3Object::EOS, this, [this] { seen << "EOS"; });
        connect(engine, &MP3Object::DisplayLyrics, this, [this](LyricsData *page) {
            shown << page->text +
                         QStringLiteral(" %1-%2").arg(page->highlightStart).arg(page->highlightEnd);
        });
    }

    QStringList seen;
    QStringList shown;
};

// The controls each state reports.
const QString stoppedControls = "canrewind=0 canplay=1 canpause=0 canstop=0 canff=1";
const QString playingControls = "canrewind=1 canplay=0 canpause=1 canstop=1 canff=1";
const QString silentControls = "canrewind=0 canplay=1 canpause=0 canstop=1 canff=0";

// Runs a transport slot, updateControls or one pump pass (timergo, with any paced step due) by
// name.
void act(MP3Object *engine, const QString &action)
{
    if (action == "timergo")
        EngineTestEnvironment::passTime(1000);
    if (action == "updateControls")
        engine->updateControls();
    else
        QMetaObject::invokeMethod(engine, qPrintable(action), Qt::DirectConnection);
}

// Lines every half second: pages and wipes at about frames 1, 19, 38, 57 and 77.
const char *const fiveLines = "[00:00.00]Alpha beta\n[00:00.50]Gamma delta\n"
                              "[00:01.00]Epsilon zeta\n[00:01.50]Eta theta\n"
                              "[00:02.00]Iota kappa\n";

// A pretend song of frames frames (fewer than 0: a file that cannot be opened), with the lyrics
// beside it when lrc is given; its engine.
MP3Object *engineFor(const EngineTestEnvironment &environment, int frames, int startFrame = 0,
                     const char *lrc = nullptr)
{
    ScriptedSong::reset(qMax(frames, 0), frames >= 0);
    if (lrc)
        Mp3Fixtures::writeFile(environment.filePath("song.lrc"), lrc);
    return MP3Object::Instance(environment.filePath("song.mp3"), startFrame);
}

// Fast forwards count passes: the position after each pass with the pages shown on it.
QList<QPair<int, QStringList>> fastForwardPasses(MP3Object *engine, Recorder &recorder, int count)
{
    QList<QPair<int, QStringList>> byPass;
    engine->FastForward();
    for (int pass = 0; pass < count; ++pass) {
        recorder.shown.clear();
        EngineTestEnvironment::passTime(1000);
        engine->timergo();
        byPass.append({engine->position(), recorder.shown});
    }
    return byPass;
}

// Lyrics of many pages for the seek tests: word-timed lines, a long instrumental break, and a run
// of lines too fast for the content stream, whose pages come late or are dropped.
QByteArray manyPages()
{
    const auto stamp = [](int ms) {
        return QStringLiteral("%1:%2.%3")
            .arg(ms / 60000, 2, 10, QChar('0'))
            .arg(ms / 1000 % 60, 2, 10, QChar('0'))
            .arg(ms / 10 % 100, 2, 10, QChar('0'));
    };
    QString lrc;
    int ms = 500;
    for (int line = 0; line < 48; ++line) {
        const int wordMs = line >= 30 && line < 38 ? 150 : 420; // the fast run
        lrc += QStringLiteral("[%1]").arg(stamp(ms));
        for (int word = 0; word < 4; ++word, ms += wordMs)
            lrc += QStringLiteral("<%1>word%2.%3 ").arg(stamp(ms)).arg(line).arg(word);
        lrc += QStringLiteral("<%1>\n").arg(stamp(ms));
        ms += 200;
        if (line == 20) {
            lrc += QStringLiteral("[%1]\n").arg(stamp(ms));
            ms += 20000; // an instrumental break
        }
    }
    return lrc.toUtf8();
}

// The lyrics standing after each of the next frames of a song fast-forwarded one frame a pass,
// until the song ends (entry 0: those standing now).
QStringList shownByFrame(MP3Object *engine, int frames, const QString &now = " 0-0")
{
    Recorder recorder(engine);
    QStringList byFrame{now};
    engine->FastForward();
    for (int pass = 0; byFrame.size() <= frames && pass < 2 * frames + 4; ++pass) {
        const int before = engine->position();
        EngineTestEnvironment::passTime(1000);
        engine->timergo();
        if (engine->position() != before)
            byFrame << (recorder.shown.isEmpty() ? byFrame.last() : recorder.shown.last());
        recorder.shown.clear();
    }
    return byFrame;
}

} // namespace

class TestMP3Object : public QObject
{
    Q_OBJECT

private slots:
    void fillsThePoolThenFastForwardsToTheEnd_data();
    void fillsThePoolThenFastForwardsToTheEnd();
    void transportSignals_data();
    void transportSignals();
    void rewindShowsEachStoredPageBackToZeroThenStops_data();
    void rewindShowsEachStoredPageBackToZeroThenStops();
    void skipToStartFrame_data();
    void skipToStartFrame();
    void lyricsAfterASeekEqualPlayingThrough_data();
    void lyricsAfterASeekEqualPlayingThrough();
    void shutDownDeletesTheOutputBeforeALeftOverEngine();
};

// A stopped engine fills ahead: one pass takes a buffer, the next fills it, and with full
// buffers waiting no end of song is reported, and no pass is wanted. Fast forward then stamps at
// most a buffer per pass, each not before a quarter of its playing time after the last; EOS()
// comes on the pass that stamps the last buffer and on every pass after.
void TestMP3Object::fillsThePoolThenFastForwardsToTheEnd_data()
{
    QTest::addColumn<int>("bufferSize");
    QTest::addColumn<int>("bufferCount");
    QTest::addColumn<int>("frames");
    QTest::addColumn<int>("pause");
    QTest::addRow("6 buffers of 1 frame") << 1 << 6 << 100 << 6;
    QTest::addRow("20 buffers of 20 frames") << 20 << 20 << 1000 << 130;
    QTest::addRow("song ends in the third of 6 buffers") << 4 << 6 << 10 << 26;
}

void TestMP3Object::fillsThePoolThenFastForwardsToTheEnd()
{
    QFETCH(int, bufferSize);
    QFETCH(int, bufferCount);
    QFETCH(int, frames);
    QFETCH(int, pause);
    EngineTestEnvironment environment(10);
    environment.setBuffers(bufferSize, bufferCount);
    MP3Object *engine = engineFor(environment, frames);
    QVERIFY(engine);
    Recorder recorder(engine);
    for (int pass = 1; pass <= 2 * bufferCount + 4; ++pass) {
        engine->timergo();
        QCOMPARE(song.position, qMin(frames, qMin(pass / 2, bufferCount) * bufferSize));
    }
    QVERIFY(recorder.seen.isEmpty());
    QCOMPARE(engine->nextPassIn(), -1);

    engine->FastForward();
    QCOMPARE(EngineTestEnvironment::paces(), QList<int>{pause});
    int stamped = 0;
    QList<int> paces;
    for (int pass = 0; pass < 2 * frames + 10 && !recorder.seen.contains("EOS"); ++pass) {
        EngineTestEnvironment::passTime(pause - 1);
        engine->timergo(); // the next buffer is not yet due
        QVERIFY(EngineTestEnvironment::paces().isEmpty());
        EngineTestEnvironment::passTime(1);
        engine->timergo();
        paces = EngineTestEnvironment::paces();
        QVERIFY(paces.isEmpty() || paces == QList<int>{pause});
        stamped += int(paces.size());
    }
    QCOMPARE(paces, QList<int>{pause});
    QCOMPARE(song.position, frames);
    QVERIFY(stamped * bufferSize > frames);
    engine->timergo();
    engine->timergo();
    QCOMPARE(recorder.seen.count("EOS"), 3);
}

// Each slot's signals in order, then the device, the position and the status text of the state
// it leads to. Play while rewinding first asks for a new engine at the rewound frame; Pause
// reports the controls while the device still runs; Stop asks to be replaced before it reports
// the controls, and leaves the position alone. A file that cannot be opened has no device and
// ends on every pass.
void TestMP3Object::transportSignals_data()
{
    QTest::addColumn<int>("frames");
    QTest::addColumn<QString>("actions"); // the last one is the slot looked at
    QTest::addColumn<QString>("expected");
    const QString toFrame4 = "FastForward timergo timergo "; // one buffer of 4 frames
    QTest::addRow("updateControls on a new engine")
        << 100 << "updateControls" << stoppedControls + "@paused | paused 0 %1 is Stoped";
    QTest::addRow("Play from stopped")
        << 100 << "Play" << playingControls + "@running | running 0 Playing %1";
    QTest::addRow("Pause while playing")
        << 100 << "Play Pause" << silentControls + "@running | paused 0 %1 is Paused";
    QTest::addRow("Rewind while playing")
        << 100 << "Play Rewind" << silentControls + "@paused | paused 0 Rewinding %1";
    QTest::addRow("FastForward from stopped")
        << 100 << "FastForward" << silentControls + "@paused | paused 0 Fast Forwarding %1";
    QTest::addRow("Stop after fast forward")
        << 100 << toFrame4 + "Stop"
        << "stoprequest " + stoppedControls + "@paused | paused 4 %1 is Stoped";
    QTest::addRow("Play while rewinding")
        << 100 << toFrame4 + "Rewind timergo timergo Play"
        << "startAtrequest(2) " + playingControls + "@running | running 2 Playing %1";
    QTest::addRow("Play while paused")
        << 100 << toFrame4 + "Pause Play" << playingControls + "@running | running 4 Playing %1";
    QTest::addRow("a pass on a file that cannot be opened") << -1 << "Play timergo"
                                                            << "EOS | closed 0 Playing %1";
}

void TestMP3Object::transportSignals()
{
    QFETCH(int, frames);
    QFETCH(QString, actions);
    QFETCH(QString, expected);
    EngineTestEnvironment environment(10);
    environment.setBuffers(4, 6);
    MP3Object *engine = engineFor(environment, frames);
    QVERIFY(engine);
    QStringList prelude = actions.split(' ');
    const QString slot = prelude.takeLast();
    for (const QString &action : std::as_const(prelude))
        act(engine, action);
    Recorder recorder(engine);
    act(engine, slot);
    QCOMPARE(QStringLiteral("%1 | %2 %3 %4")
                 .arg(recorder.seen.join(' '), deviceState())
                 .arg(engine->position())
                 .arg(engine->statusText()),
             expected.arg(engine->fileName()));
}

// Rewinding steps back one frame per pass, not sooner than 6 ms apart, and shows every page stored on the
// way, back to the empty page of frame 0; the pass after that stops the engine. An engine started
// past the pages (a seek) shows the same pages on the way back as one that played them.
void TestMP3Object::rewindShowsEachStoredPageBackToZeroThenStops_data()
{
    QTest::addColumn<int>("startFrame");
    QTest::addRow("played from the start") << 0;
    QTest::addRow("started at frame 30") << 30;
}

void TestMP3Object::rewindShowsEachStoredPageBackToZeroThenStops()
{
    QFETCH(int, startFrame);
    EngineTestEnvironment environment(10);
    environment.setBuffers(1, 6);
    MP3Object *engine = engineFor(environment, 200, 0, fiveLines);
    QVERIFY(engine);
    QStringList expected;
    {
        Recorder recorder(engine);
        for (const auto &[frame, pages] : fastForwardPasses(engine, recorder, 90)) {
            if (!pages.isEmpty() && frame < 45)
                expected.prepend(pages.last());
        }
    }
    QCOMPARE(engine->position(), 45);
    QVERIFY(expected.size() >= 2);
    expected << QStringLiteral(" 0-0"); // the empty page of frame 0
    if (startFrame) {
        delete engine;
        engine = engineFor(environment, 200, startFrame, fiveLines);
        engine->FastForward();
        while (engine->position() < 45) {
            EngineTestEnvironment::passTime(1000);
            engine->timergo();
        }
    }
    Recorder recorder(engine);
    EngineTestEnvironment::paces();

    engine->Rewind();
    recorder.shown.clear();
    recorder.seen.clear();
    engine->timergo(); // no step before 6 ms
    QCOMPARE(engine->position(), 45);
    for (int pass = 0; pass < 45; ++pass) {
        EngineTestEnvironment::passTime(6);
        engine->timergo();
    }
    QCOMPARE(engine->position(), 0);
    QCOMPARE(recorder.shown, expected);
    QCOMPARE(EngineTestEnvironment::paces(), QList<int>(46, 6));
    QVERIFY(!recorder.seen.contains("stoprequest"));
    engine->timergo();
    QCOMPARE(recorder.seen.first(), QStringLiteral("stoprequest"));
}

// A start frame within the song plays first; 0, the last frame or beyond play from the start.
// The skipped frames' lyrics are taken in silently, so from the start frame on the pages are
// those of the song played through.
void TestMP3Object::skipToStartFrame_data()
{
    QTest::addColumn<int>("startFrame");
    QTest::addColumn<int>("firstFrame");
    QTest::addRow("0") << 0 << 1;
    QTest::addRow("2") << 2 << 2;
    QTest::addRow("30, between two pages") << 30 << 30;
    QTest::addRow("the last frame") << 99 << 99;
    QTest::addRow("the frame count") << 100 << 1;
    QTest::addRow("beyond the song") << 150 << 1;
}

void TestMP3Object::skipToStartFrame()
{
    QFETCH(int, startFrame);
    QFETCH(int, firstFrame);
    QList<QPair<int, QStringList>> runs[2]; // played through, skipped
    for (int run = 0; run < 2; ++run) {
        EngineTestEnvironment environment(10);
        environment.setBuffers(1, 6);
        MP3Object *engine = engineFor(environment, 100, run ? startFrame : 0, fiveLines);
        QVERIFY(engine);
        QCOMPARE(engine->position(), run ? firstFrame - 1 : 0);
        Recorder recorder(engine);
        runs[run] = fastForwardPasses(engine, recorder, 210); // to the end of the song
    }
    QCOMPARE(runs[1][0].first, firstFrame - 1);
    QCOMPARE(runs[1][1].first, firstFrame);
    // Only the first pass of a skipped engine shows the lyrics where it starts.
    QCOMPARE(runs[1][0].second.size(), firstFrame > 1 ? 1 : 0);
    for (const auto &[frame, pages] : runs[1].mid(1))
        QVERIFY(frame >= firstFrame || pages.isEmpty());
    for (auto &passes : runs)
        passes.removeIf([firstFrame](const QPair<int, QStringList> &pass) {
            return pass.first < firstFrame || pass.first > 100;
        });
    QVERIFY(!runs[1].isEmpty());
    QCOMPARE(runs[1], runs[0]);
}

// An engine started at a frame shows at once the page and highlight that playing up to that frame
// shows, and from then on the same as playing on: at every frame where the display changes
// (a page or a highlight, sought to just before and just after), and at frames between.
void TestMP3Object::lyricsAfterASeekEqualPlayingThrough_data()
{
    QTest::addColumn<QString>("where");
    QTest::addColumn<int>("followFor"); // frames compared after the start
    QTest::addRow("page starts") << "pages" << 300;
    QTest::addRow("highlight changes") << "highlights" << 40;
    QTest::addRow("every 53rd frame") << "between" << 200;
}

void TestMP3Object::lyricsAfterASeekEqualPlayingThrough()
{
    QFETCH(QString, where);
    QFETCH(int, followFor);
    constexpr int frames = 5000;
    EngineTestEnvironment environment(10);
    environment.setBuffers(1, 6);
    QVERIFY(Mp3Fixtures::writeFile(environment.filePath("song.lrc"), manyPages()));
    const QString path = environment.filePath("song.mp3");
    ScriptedSong::reset(frames);
    MP3Object *engine = MP3Object::Instance(path, 0);
    QVERIFY(engine);
    const QStringList through = shownByFrame(engine, frames);
    delete engine;

    QList<int> starts;
    const auto pageOf = [&through](int frame) { return through[frame].section(' ', 0, -2); };
    for (int frame = 1; frame < frames; ++frame) {
        const bool changed = through[frame] != through[frame - 1];
        const bool newPage = pageOf(frame) != pageOf(frame - 1);
        if ((where == "pages" && newPage) || (where == "highlights" && changed && !newPage))
            starts << frame << frame + 1; // the frame that changes it heard first, or already seen
        else if (where == "between" && frame % 53 == 0)
            starts << frame;
    }
    QVERIFY(starts.size() >= (where == "pages" ? 20 : 80));
    for (const int start : std::as_const(starts)) {
        ScriptedSong::reset(frames);
        engine = MP3Object::Instance(path, start);
        QVERIFY(engine);
        Recorder recorder(engine);
        EngineTestEnvironment::passTime(1000);
        engine->timergo(); // shows where it starts
        QCOMPARE(engine->position(), start - 1);
        QCOMPARE(recorder.shown, QStringList{through[start - 1]});
        const QStringList after = shownByFrame(engine, followFor, recorder.shown.value(0));
        QVERIFY(after.size() > qMin(followFor, frames - start + 1));
        for (int i = 1; i < after.size() && start - 1 + i <= frames; ++i) {
            QVERIFY2(after[i] == through[start - 1 + i],
                     qPrintable(QStringLiteral("start %1, frame %2: %3 instead of %4")
                                    .arg(start)
                                    .arg(start - 1 + i)
                                    .arg(after[i], through[start - 1 + i])));
        }
        delete engine;
    }
}

// The shut-down deletes the remaining single instances, the sound output first; an engine left
// over must then leave that output alone instead of idling it after its deletion.
void TestMP3Object::shutDownDeletesTheOutputBeforeALeftOverEngine()
{
    EngineTestEnvironment environment(10);
    MP3Object *engine = engineFor(environment, 50);
    QVERIFY(engine);
    engine->Play();
    for (int pass = 0; pass < 4; ++pass)
        engine->timergo();
    SingleInstance<SoundOutput>::destroy();
    QVERIFY(!SoundOutput::hasAnInstance());
    SingleInstance<MP3Object>::destroy();
    QVERIFY(!MP3Object::hasAnInstance());
}

QTEST_MAIN(TestMP3Object)
#include "tst_mp3object.moc"
