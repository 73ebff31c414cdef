// The engine on real songs through SDL's disk driver: what reaches the device is exactly the
// decoded song, also across a stall of the GUI thread; the lyrics light up with the frame that
// carries them; and every way of ending the callback's wait for data returns, at any point of the
// callback's cycle; a lock taken in the wrong order hangs here.

#include "enginetestenvironment.h"
#include "framedecoder.h"
#include "frameslot.h"
#include "lyricsdata.h"
#include "mp3fixtures.h"
#include "mp3object.h"
#include "soundoutput.h"

#include <QFileInfo>
#include <QThread>
#include <QtTest>

#include <cstring>

namespace {

// Every frame the decoder library gives for the song, in order, as the engine would fill them.
QByteArray decodedSong(const QString &path)
{
    FrameDecoder decoder(path);
    QByteArray pcm;
    FrameSlot slot;
    while (decoder.hasMoreFrames()) {
        std::memset(static_cast<void *>(&slot), 0, sizeof slot);
        decoder.decodeNext(&slot);
        pcm.append(reinterpret_cast<const char *>(slot.pcm), FrameTiming::bytesPerFrame);
    }
    return pcm;
}

bool outputWantsData()
{
    SoundOutput *output = SoundOutput::Instance();
    return output && output->wantsData();
}

qint64 deviceBytes()
{
    return QFileInfo(qEnvironmentVariable("SDL_DISKAUDIOFILE")).size();
}

// Pumps the engine as the main window does until it stands at frame.
void pumpTo(MP3Object *engine, int frame)
{
    while (engine->position() < frame)
        engine->timergo();
}

} // namespace

class TestPlayback : public QObject
{
    Q_OBJECT

private slots:
    void songReachesTheDeviceWhole_data();
    void songReachesTheDeviceWhole();
    void callbacksWaitEnds_data();
    void callbacksWaitEnds();
};

// Played from start to EOS(), stopped, left idle for a few callbacks and deleted, as the main
// window does, and the device closed at shut-down: the device got every decoded frame once, in order, with nothing in between and
// only silence around it (SDL hands each callback the stream as the last one left it). The name
// lies outside Latin-1, as is common in karaoke collections; the lyrics beside it light their
// second line when its frame is heard, not before. A GUI thread that stalls for 200 ms mid-song
// (a long redraw, a busy machine) delays the sound but inserts no silence.
void TestPlayback::songReachesTheDeviceWhole_data()
{
    QTest::addColumn<double>("seconds");
    QTest::addColumn<int>("bufferSize");
    QTest::addColumn<int>("stallAtFrame"); // 0: none
    // ms per written buffer; 0: as fast as the device is fed. A stall must come while the song
    // still plays, so that row keeps real time (4 frames take 104 ms).
    QTest::addColumn<int>("diskDelay");
    QTest::addRow("2 s in buffers of 4 frames") << 2.0 << 4 << 0 << 0;
    QTest::addRow("1.2 s in one buffer of 56 frames, the largest") << 1.2 << 56 << 0 << 0;
    QTest::addRow("2 s, the GUI thread stalled 200 ms at frame 38") << 2.0 << 4 << 38 << 104;
}

void TestPlayback::songReachesTheDeviceWhole()
{
    QFETCH(double, seconds);
    QFETCH(int, bufferSize);
    QFETCH(int, stallAtFrame);
    QFETCH(int, diskDelay);
    EngineTestEnvironment environment(diskDelay);
    environment.setBuffers(bufferSize, 6);
    const QString song = environment.filePath(QStringLiteral("Ночь 夜 ♫.mp3"));
    Mp3Fixtures::Sine sine;
    sine.seconds = seconds;
    QVERIFY(Mp3Fixtures::writeSine(song, sine));
    QVERIFY(Mp3Fixtures::writeFile(environment.filePath(QStringLiteral("Ночь 夜 ♫.lrc")),
                                   "[00:00.00]Hello\n[00:01.00]World\n"));
    const QByteArray decoded = decodedSong(song);
    QVERIFY(decoded.size() > 8 * FrameTiming::bytesPerFrame);

    MP3Object *engine = MP3Object::Instance(song, 0);
    QVERIFY(engine);
    int ends = 0;
    connect(engine, &MP3Object::EOS, engine, [&ends] { ++ends; });
    QList<const LyricsData *> shown;
    connect(engine, &MP3Object::DisplayLyrics, engine,
            [&shown](LyricsData *page) { shown << page; });
    int litAt = 0; // the position after the pass that lit the second line
    engine->Play();
    while (!ends || !litAt) {
        engine->timergo();
        if (stallAtFrame && engine->position() >= stallAtFrame && outputWantsData()) {
            QThread::msleep(200); // the callback meanwhile waits for its next buffer
            stallAtFrame = 0;
        }
        if (!litAt && !shown.isEmpty() && shown.last()->highlightEnd > 6)
            litAt = engine->position();
    }
    QCOMPARE(shown.first()->text, QStringLiteral("Hello\nWorld"));
    QCOMPARE(shown.first()->highlightEnd, 5);
    // 1 s is frame 38 or 39: the pass that lit the line had reached it.
    QVERIFY2(litAt >= 38, qPrintable(QString::number(litAt)));
    // The position ends on the song's last frame, not on the empty slots after it.
    const int frames = int(decoded.size() / FrameTiming::bytesPerFrame);
    QTRY_COMPARE_WITH_TIMEOUT((engine->timergo(), engine->position()), frames, 10000);

    // Stopped, the device runs idle: its callbacks must write silence.
    engine->Stop();
    const qint64 atStop = deviceBytes();
    const int bufferBytes = bufferSize * FrameTiming::bytesPerFrame;
    while (deviceBytes() < atStop + 3 * bufferBytes)
        QThread::usleep(500);
    delete engine;
    SingleInstance<SoundOutput>::destroy();

    const QByteArray played = EngineTestEnvironment::deviceSound();
    QCOMPARE(played.size() % bufferBytes, 0);
    // Searched for without its closing silence, which would make a miss take minutes.
    qsizetype sounding = decoded.size();
    while (sounding > 0 && decoded[sounding - 1] == 0)
        --sounding;
    const qsizetype at = played.indexOf(decoded.left(sounding));
    QVERIFY(at >= 0);
    QCOMPARE(played.mid(at, decoded.size()), decoded);
    // Nothing but silence around it.
    QCOMPARE(played.count('\0'), played.size() - decoded.size() + decoded.count('\0'));
}

// Every way out of the callback's wait for data, at points spread over its 40 ms wait, and the
// engine deleted after each, its device kept for the next; SDL waits for a running callback when
// the device is paused, run or closed, so a lock held across those calls hangs here.
void TestPlayback::callbacksWaitEnds_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("waitEnded"); // before the deletion
    for (const char *how :
         {"Stop", "Pause", "Rewind", "closing path", "deleted after a hand-over not yet taken"})
        QTest::addRow("%s", how) << how << true;
    for (const char *how : {"feed flag cleared", "deleted", "deleted a few frames in"})
        QTest::addRow("%s", how) << how << false;
}

void TestPlayback::callbacksWaitEnds()
{
    QFETCH(QString, how);
    QFETCH(bool, waitEnded);
    const QByteArray diskFile = qgetenv("SDL_DISKAUDIOFILE");
    qputenv("SDL_DISKAUDIOFILE", "/dev/null");
    // A written buffer waits 20 ms, so a callback that gave up does not come straight back.
    EngineTestEnvironment environment(20);
    environment.setBuffers(1, 6);
    const QString song = environment.filePath("sine.mp3");
    QVERIFY(Mp3Fixtures::writeSine(song, Mp3Fixtures::Sine()));
    for (int round = 0; round < 20; ++round) {
        MP3Object *engine = MP3Object::Instance(song, 0);
        QVERIFY(engine);
        if (how.contains("hand-over")) { // a buffer filled before playing
            engine->timergo();
            engine->timergo();
        }
        engine->Play();
        while (!outputWantsData())
            QThread::usleep(500);
        QThread::msleep(round * 7 % 40); // somewhere in the callback's poll
        if (how == "Stop") {
            engine->Stop();
        } else if (how == "Pause") {
            engine->Pause();
        } else if (how == "Rewind") {
            engine->Rewind();
        } else if (how == "feed flag cleared") {
            // The callback gives up ("Did not get the buffer to mix!") and SDL asks again.
            const qint64 request = SoundOutput::Instance()->lastRequestTime();
            audioFeedActive = false;
            while (SoundOutput::Instance()->lastRequestTime() == request)
                QThread::usleep(500);
        } else if (how.contains("hand-over")) {
            engine->timergo();
        } else if (how.contains("frames in")) {
            pumpTo(engine, 2);
        } else if (how == "closing path") { // the main window's
            pumpTo(engine, 1);
            audioFeedActive = false;
            engine->Stop();
        }
        if (waitEnded)
            QVERIFY(!outputWantsData());
        delete engine;
        QVERIFY(!MP3Object::hasAnInstance());
        QVERIFY(!outputWantsData());
    }
    qputenv("SDL_DISKAUDIOFILE", diskFile);
}

QTEST_MAIN(TestPlayback)
#include "tst_playback.moc"
