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
#include "soundsettings.h"

#include <QFileInfo>
#include <QThread>
#include <QtTest>

#include <SDL.h>

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

// The left channel of 16-bit stereo sound.
QList<int> leftChannel(const QByteArray &pcm)
{
    QList<int> left;
    const auto *samples = reinterpret_cast<const qint16 *>(pcm.constData());
    for (qsizetype i = 0; i + 1 < pcm.size() / 2; i += 2)
        left << samples[i];
    return left;
}

// The frequency of a tone from its rising zero crossings between samples from and to.
double frequency(const QList<int> &left, int from, int to, int rate)
{
    double first = -1, last = -1;
    int crossings = 0;
    for (int i = from; i < to; ++i) {
        if (left[i - 1] < 0 && left[i] >= 0) {
            const double at = i - 1 + double(-left[i - 1]) / (left[i] - left[i - 1]);
            first = first < 0 ? at : first;
            last = at;
            ++crossings;
        }
    }
    return crossings > 1 ? (crossings - 1) * rate / (last - first) : 0;
}

// One pass of the pump, then a pause: a pump that never lets go of the output's lock would keep
// the device from it (the main window pumps only when there is work).
void pump(MP3Object *engine)
{
    engine->timergo();
    QThread::usleep(200);
}

// Pumps the engine until it stands at frame.
void pumpTo(MP3Object *engine, int frame)
{
    while (engine->position() < frame)
        pump(engine);
}

// The sound without the silence before and after it.
QByteArray sounding(const QByteArray &pcm)
{
    qsizetype from = 0, to = pcm.size();
    while (from < to && pcm[from] == 0)
        ++from;
    while (to > from && pcm[to - 1] == 0)
        --to;
    return pcm.mid(from, to - from);
}

} // namespace

class TestPlayback : public QObject
{
    Q_OBJECT

private slots:
    void songReachesTheDeviceWhole_data();
    void songReachesTheDeviceWhole();
    void pausedDeviceRestsThenPlaysOn();
    void callbacksWaitEnds_data();
    void callbacksWaitEnds();
    void keyMovesPitchNotTime_data();
    void keyMovesPitchNotTime();
};

// Played from start to EOS(), stopped, left idle for a few callbacks and deleted, as the main
// window does, and the device closed at shut-down: the device got every decoded frame once, in
// order, with nothing in between and only silence around it (SDL hands each callback the stream
// as the last one left it); with the key at 0 and the vocals kept, the processing stage changes
// not a bit. The name lies outside Latin-1, as is common in karaoke collections; the lyrics
// beside it light their second line when its frame is heard, not before. A GUI thread that
// stalls mid-song (a long redraw, a busy machine) past all the sound queued makes the callback
// wait, which delays the sound but inserts no silence.
void TestPlayback::songReachesTheDeviceWhole_data()
{
    QTest::addColumn<double>("seconds");
    QTest::addColumn<int>("bufferSize");
    QTest::addColumn<int>("stallAtFrame"); // 0: none
    QTest::addRow("2 s in buffers of 4 frames") << 2.0 << 4 << 0;
    QTest::addRow("1.2 s in one buffer of 56 frames, the largest") << 1.2 << 56 << 0;
    QTest::addRow("2 s, the pump stalled at frame 30 till 200 ms past the last sound queued")
        << 2.0 << 4 << 30;
}

void TestPlayback::songReachesTheDeviceWhole()
{
    QFETCH(double, seconds);
    QFETCH(int, bufferSize);
    QFETCH(int, stallAtFrame);
    EngineTestEnvironment environment(26); // about one period a period: stamps fall due in time
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
    bool lit = false;
    while (!ends || !lit) {
        pump(engine);
        if (stallAtFrame && engine->position() >= stallAtFrame) {
            // Unpumped, the device plays all it was given, then its callback must wait.
            while (SoundOutput::Instance()->hasUnplayedBuffer())
                QThread::usleep(500);
            QThread::msleep(200);
            stallAtFrame = 0;
        }
        if (!lit && !shown.isEmpty() && shown.last()->highlightEnd > 6) {
            lit = true;
            litAt = engine->position();
        }
    }
    QCOMPARE(shown.first()->text, QStringLiteral("Hello\nWorld"));
    QCOMPARE(shown.first()->highlightEnd, 5);
    // 1 s is frame 38 or 39: the pass that lit the line had reached it.
    QVERIFY2(litAt >= 38, qPrintable(QString::number(litAt)));
    // The position ends on the song's last frame, not on the empty slots after it.
    const int frames = int(decoded.size() / FrameTiming::bytesPerFrame);
    QTRY_COMPARE_WITH_TIMEOUT((engine->timergo(), engine->position()), frames, 10000);

    // Stopped, the device runs idle: its callbacks, a frame each, must write silence.
    engine->Stop();
    const qint64 atStop = deviceBytes();
    while (deviceBytes() < atStop + 3 * FrameTiming::bytesPerFrame)
        QThread::usleep(500);
    delete engine;
    SingleInstance<SoundOutput>::destroy();

    const QByteArray played = EngineTestEnvironment::deviceSound();
    QCOMPARE(played.size() % FrameTiming::bytesPerFrame, 0);
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

// Paused, the device is closed after a while, so the sound server forgets the stream; Play opens
// it again and the song goes on where it paused: the sound before and after the rest together are
// the decoded song, nothing lost or played twice.
void TestPlayback::pausedDeviceRestsThenPlaysOn()
{
    EngineTestEnvironment environment(26);
    environment.setBuffers(4, 6);
    const QString song = environment.filePath("song.mp3");
    Mp3Fixtures::Sine sine;
    sine.seconds = 2.0;
    QVERIFY(Mp3Fixtures::writeSine(song, sine));
    const QByteArray decoded = decodedSong(song);
    MP3Object *engine = MP3Object::Instance(song, 0);
    QVERIFY(engine);
    int ends = 0;
    connect(engine, &MP3Object::EOS, engine, [&ends] { ++ends; });
    engine->Play();
    pumpTo(engine, 30);
    engine->Pause();
    QTRY_COMPARE_WITH_TIMEOUT(SDL_GetAudioStatus(), SDL_AUDIO_STOPPED, 10000);
    const QByteArray beforeRest = EngineTestEnvironment::deviceSound(); // opening again empties it
    QVERIFY(beforeRest.size() > 20 * FrameTiming::bytesPerFrame);
    engine->Play();
    QCOMPARE(SDL_GetAudioStatus(), SDL_AUDIO_PLAYING);
    while (!ends)
        pump(engine);
    delete engine;
    SingleInstance<SoundOutput>::destroy();
    QCOMPARE(sounding(beforeRest) + sounding(EngineTestEnvironment::deviceSound()),
             sounding(decoded));
}

// Every way out of the callback's wait for data, at points spread over its 40 ms wait, and the
// engine deleted after each, its device kept for the next; SDL waits for a running callback when
// the device is paused, run or closed, so a lock held across those calls hangs here.
void TestPlayback::callbacksWaitEnds_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("waitEnded"); // before the deletion
    for (const char *how : {"Stop", "Pause", "Rewind", "closing path"})
        QTest::addRow("%s", how) << how << true;
    // A buffer of one frame is soon played: the device asks for the next at once.
    for (const char *how : {"feed flag cleared", "deleted", "deleted a few frames in",
                            "deleted after a hand-over not yet taken"})
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

// A 2 s tone with a click at the start of frame 40 played with the key moved, in real time, and
// moved again after 0.65 s in one row: the tone comes out at the new pitch without a gap or dip,
// the song as long as it was, and the click where its frame is in the device stream, so it is
// heard when the frame's stamp falls due. The song's first frame starts on a device period, the
// first sound in it.
void TestPlayback::keyMovesPitchNotTime_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("laterKey");
    QTest::addColumn<double>("hertz"); // while the first key holds
    QTest::addRow("original key") << 0 << 0 << 440.0;
    QTest::addRow("+2 semitones") << 2 << 2 << 493.9;
    QTest::addRow("-3 semitones") << -3 << -3 << 370.0;
    QTest::addRow("+2, then -3 before the click") << 2 << -3 << 493.9;
}

void TestPlayback::keyMovesPitchNotTime()
{
    QFETCH(int, key);
    QFETCH(int, laterKey);
    QFETCH(double, hertz);
    constexpr int rate = 44100;
    constexpr int clickFrame = 40;
    EngineTestEnvironment environment(26); // about one period a period: real time
    environment.setBuffers(4, 6);
    const QString song = environment.filePath("tone.mp3");
    Mp3Fixtures::Sine sine;
    sine.seconds = 2;
    sine.amplitude = 0.3;
    sine.clickAt = (clickFrame - 1) * FrameTiming::samplesPerFrame / double(rate);
    QVERIFY(Mp3Fixtures::writeSine(song, sine));
    SoundSettings::setKey(key);
    MP3Object *engine = MP3Object::Instance(song, 0);
    QVERIFY(engine);
    bool ended = false;
    connect(engine, &MP3Object::EOS, engine, [&ended] { ended = true; });
    engine->Play();
    while (!ended) {
        pump(engine);
        if (engine->position() >= 25)
            SoundSettings::setKey(laterKey);
    }
    delete engine;
    SingleInstance<SoundOutput>::destroy();
    SoundSettings::setKey(0);

    const QList<int> left = leftChannel(EngineTestEnvironment::deviceSound());
    const auto sounding = [](int sample) { return sample != 0; };
    const int firstSound = int(std::find_if(left.cbegin(), left.cend(), sounding) - left.cbegin());
    const int start = firstSound - firstSound % FrameTiming::samplesPerFrame;
    // The shifter's fading ring after the tone is no part of the song.
    const auto loud = [](int sample) { return qAbs(sample) > 3277; };
    const int end = int(left.crend() - std::find_if(left.crbegin(), left.crend(), loud));
    QVERIFY2(qAbs(end - start - 2 * rate) <= FrameTiming::samplesPerFrame,
             qPrintable(QString::number(end - start)));
    const double measured = frequency(left, start + rate / 10, start + rate * 45 / 100, rate);
    QVERIFY2(qAbs(measured - hertz) <= hertz * 0.005, qPrintable(QString::number(measured)));
    // No gap or dip: every 256 samples hold at least half the tone's level.
    for (int from = start + rate / 10; from < start + rate * 19 / 10; from += 256) {
        double energy = 0;
        for (int i = from; i < from + 256; ++i)
            energy += double(left[i]) * left[i];
        const double level = std::sqrt(energy / 256) / (0.3 * 32767 / M_SQRT2);
        QVERIFY2(level >= 0.5, qPrintable(QString("%1 at %2").arg(level).arg(from - start)));
    }
    // The click: the steepest step of the sound around its frame, within 10 ms of the frame.
    const int clickAt = start + (clickFrame - 1) * FrameTiming::samplesPerFrame;
    int steepest = clickAt - rate / 10;
    for (int i = steepest; i < clickAt + rate / 10; ++i) {
        if (qAbs(left[i] - left[i - 1]) > qAbs(left[steepest] - left[steepest - 1]))
            steepest = i;
    }
    QVERIFY2(qAbs(steepest - clickAt) <= rate / 100, qPrintable(QString::number(steepest - clickAt)));
}

QTEST_MAIN(TestPlayback)
#include "tst_playback.moc"
