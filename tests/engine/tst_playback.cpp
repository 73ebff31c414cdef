// The engine on real songs through SDL's disk driver: what reaches the device is exactly the
// decoded song, and an engine can be stopped or deleted at any moment of playing without
// hanging on the audio thread.

#include "enginetestenvironment.h"
#include "framedecoder.h"
#include "frameslot.h"
#include "lyricsdata.h"
#include "mp3fixtures.h"
#include "mp3object.h"
#include "soundoutput.h"

#include <QElapsedTimer>
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

QString sineSong(const EngineTestEnvironment &environment, double seconds)
{
    const QString path = environment.filePath(QStringLiteral("sine%1.mp3").arg(seconds));
    Mp3Fixtures::Sine sine;
    sine.seconds = seconds;
    return Mp3Fixtures::writeSine(path, sine) ? path : QString();
}

bool outputWantsData()
{
    SoundOutput *output = SoundOutput::Instance();
    return output && output->wantsData();
}

// Waits, without pumping, until condition holds; false after timeout ms.
template <class Condition> bool waitUntil(Condition condition, int timeout = 5000)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.hasExpired(timeout))
            return false;
        QThread::usleep(500);
    }
    return true;
}

// Pumps the engine as the main window does until condition holds; false after timeout ms.
template <class Condition>
bool pumpUntil(MP3Object *engine, Condition condition, int timeout = 10000)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.hasExpired(timeout))
            return false;
        engine->timergo();
    }
    return true;
}

} // namespace

class TestPlayback : public QObject
{
    Q_OBJECT

private slots:
    void songReachesTheDeviceWhole_data();
    void songReachesTheDeviceWhole();
    void lyricsFollowTheSound();
    void stopEndsTheCallbacksWait();
    void deletingPlayingEngines();
};

// Played from start to EOS() and deleted at once, as the main window does: the device got
// every decoded frame once, in order, with nothing in between; only silence around it.
void TestPlayback::songReachesTheDeviceWhole_data()
{
    QTest::addColumn<double>("seconds");
    QTest::addColumn<int>("bufferSize");
    QTest::addRow("2 s in buffers of 20 frames") << 2.0 << 20;
    QTest::addRow("shorter than one buffer") << 0.25 << 20;
    QTest::addRow("1 s in buffers of 1 frame") << 1.0 << 1;
}

void TestPlayback::songReachesTheDeviceWhole()
{
    QFETCH(double, seconds);
    QFETCH(int, bufferSize);
    EngineTestEnvironment environment;
    environment.setBuffers(bufferSize, 6);
    const QString song = sineSong(environment, seconds);
    QVERIFY(!song.isEmpty());
    const QByteArray decoded = decodedSong(song);
    QVERIFY(decoded.size() > 8 * FrameTiming::bytesPerFrame);

    MP3Object *engine = MP3Object::Instance(song, 0);
    QVERIFY(engine);
    int ends = 0;
    connect(engine, &MP3Object::EOS, engine, [&ends] { ++ends; });
    engine->Play();
    QVERIFY(pumpUntil(
        engine, [&ends] { return ends > 0; }, 60000));
    delete engine;
    QVERIFY(!SoundOutput::hasAnInstance());

    const QByteArray played = EngineTestEnvironment::deviceSound();
    QCOMPARE(played.size() % (bufferSize * FrameTiming::bytesPerFrame), 0);
    const QByteArray heard = withoutSilenceAround(played);
    const QByteArray expected = withoutSilenceAround(decoded);
    QCOMPARE(heard.size(), expected.size());
    QVERIFY(heard == expected);
}

// A song with lyrics beside it, through the real decoder libraries: the lyrics change when the
// frame that carries the change is being heard, not before.
void TestPlayback::lyricsFollowTheSound()
{
    EngineTestEnvironment environment;
    environment.setBuffers(4, 6);
    const QString song = sineSong(environment, 2.0);
    QVERIFY(!song.isEmpty());
    QFile lyrics(environment.filePath("sine2.lrc"));
    QVERIFY(lyrics.open(QIODevice::WriteOnly));
    lyrics.write("[00:00.00]Hello\n[00:01.00]World\n");
    lyrics.close();

    MP3Object *engine = MP3Object::Instance(song, 0);
    QVERIFY(engine);
    QList<const LyricsData *> shown;
    connect(engine, &MP3Object::DisplayLyrics, engine,
            [&shown](LyricsData *page) { shown << page; });
    engine->Play();
    // The page "Hello\nWorld" comes with the first line lit; the second line lights at 1 s.
    const auto secondLineLit = [&shown] {
        return !shown.isEmpty() && shown.last() && shown.last()->highlightEnd > 6;
    };
    QVERIFY(pumpUntil(engine, secondLineLit, 20000));
    QCOMPARE(shown.first()->text, QStringLiteral("Hello\nWorld"));
    QCOMPARE(shown.first()->highlightEnd, 5);
    // 1 s is frame 38 or 39: the pass that lit the line had reached it, and no earlier pass did.
    QVERIFY2(engine->position() >= 38, qPrintable(QString::number(engine->position())));
    delete engine;
}

// Stop() while the callback waits for data returns once the callback has given up.
void TestPlayback::stopEndsTheCallbacksWait()
{
    EngineTestEnvironment environment;
    environment.setBuffers(2, 6);
    const QString song = sineSong(environment, 1.0);
    QVERIFY(!song.isEmpty());
    MP3Object *engine = MP3Object::Instance(song, 0);
    QVERIFY(engine);
    engine->Play();
    QVERIFY(waitUntil(outputWantsData));

    QElapsedTimer clock;
    clock.start();
    engine->Stop();
    const qint64 elapsed = clock.elapsed();
    QVERIFY(!audioFeedActive);
    QVERIFY(!outputWantsData());
    QVERIFY2(elapsed < 400, qPrintable(QStringLiteral("took %1 ms").arg(elapsed)));
    delete engine;
}

// 200 engines deleted while playing, at different moments of the callback's cycle, and by the
// main window's closing path; a lock order that could deadlock hangs here, a leak shows under
// the address sanitizer.
void TestPlayback::deletingPlayingEngines()
{
    const QByteArray diskFile = qgetenv("SDL_DISKAUDIOFILE");
    qputenv("SDL_DISKAUDIOFILE", "/dev/null");
    EngineTestEnvironment environment;
    environment.setBuffers(1, 6);
    const QString song = sineSong(environment, 1.0);
    QVERIFY(!song.isEmpty());

    for (int round = 0; round < 200; ++round) {
        MP3Object *engine = MP3Object::Instance(song, 0);
        QVERIFY(engine);
        switch (round % 4) {
        case 0: // the callback waits, nothing filled yet
            engine->Play();
            QVERIFY(waitUntil(outputWantsData));
            break;
        case 1: // a buffer was just handed over; the callback has not taken it yet
            engine->timergo();
            engine->timergo();
            engine->Play();
            QVERIFY(waitUntil(outputWantsData));
            engine->timergo();
            QVERIFY(!outputWantsData());
            break;
        case 2: // a few frames heard
            engine->Play();
            QVERIFY(pumpUntil(engine, [engine] { return engine->position() >= 2; }));
            break;
        case 3: // the main window's closing path
            engine->Play();
            QVERIFY(pumpUntil(engine, [engine] { return engine->position() >= 1; }));
            audioFeedActive = false;
            engine->Stop();
            engine->quiesceOutput();
            break;
        }
        delete engine;
        QVERIFY(!MP3Object::hasAnInstance());
        QVERIFY(!SoundOutput::hasAnInstance());
    }
    qputenv("SDL_DISKAUDIOFILE", diskFile);
}

QTEST_MAIN(TestPlayback)
#include "tst_playback.moc"
