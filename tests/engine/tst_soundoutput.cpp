// The sound output against SDL's disk driver: what each callback writes into the device stream,
// the stamps of a delivery, and that every way of ending a callback's wait for data returns.

#include "contentstamp.h"
#include "enginetestenvironment.h"
#include "frameslot.h"
#include "kwo_mp3d.h"
#include "soundbuffer.h"
#include "soundoutput.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QRegularExpression>
#include <QtTest>

#include <cstring>
#include <memory>

namespace {

// Frame k's sound: no zero sample, different for every k.
QByteArray framePattern(int frame)
{
    QByteArray pcm(FrameTiming::bytesPerFrame, Qt::Uninitialized);
    for (int i = 0; i < FrameTiming::bytesPerFrame; ++i)
        pcm[i] = char(1 + (frame * 13 + i) % 251);
    return pcm;
}

// A cleared buffer of slotCount slots whose first filled slots hold frames 1, 2, ...
std::unique_ptr<SoundBuffer> bufferWithFrames(int slotCount, int filled)
{
    auto buffer = std::make_unique<SoundBuffer>(slotCount);
    buffer->clearSlots();
    for (int k = 1; k <= filled; ++k) {
        FrameSlot *slot = buffer->nextSlot();
        slot->frameNumber = k;
        std::memcpy(slot->pcm, framePattern(k).constData(), FrameTiming::bytesPerFrame);
        slot->content[0] = quint8(k);
        slot->content[1] = 0xA5;
    }
    buffer->resetCursor();
    return buffer;
}

StreamInfo cdStereo()
{
    StreamInfo info{};
    info.channels = 2;
    info.sampleRate = 44100;
    return info;
}

qint64 diskFileSize()
{
    return QFileInfo(qEnvironmentVariable("SDL_DISKAUDIOFILE")).size();
}

// An output whose device cannot be opened (the disk driver's file lies in a missing folder),
// with the warning that reports it.
SoundOutput *outputWithoutDevice(const EngineTestEnvironment &environment)
{
    const QByteArray diskFile = qgetenv("SDL_DISKAUDIOFILE");
    qputenv("SDL_DISKAUDIOFILE", QFile::encodeName(environment.filePath("missing/dir/out.raw")));
    QTest::ignoreMessage(
        QtWarningMsg, QRegularExpression(QStringLiteral("^Unable to open the sound device: .+")));
    SoundOutput *output = SoundOutput::Instance(cdStereo());
    qputenv("SDL_DISKAUDIOFILE", diskFile);
    return output;
}

// Plays one delivery: waits for the callback to ask, delivers, waits until it was mixed.
bool playOne(SoundOutput *output, SoundBuffer *buffer, QList<ContentStamp *> *stamps)
{
    output->startPlaying();
    if (!QTest::qWaitFor([&] { return output->wantsData(); }, 5000))
        return false;
    output->deliver(buffer, stamps);
    return QTest::qWaitFor([&] { return !output->hasUnplayedBuffer(); }, 5000);
}

} // namespace

class TestSoundOutput : public QObject
{
    Q_OBJECT

private slots:
    void eachCallbackTakesOneBuffer_data();
    void eachCallbackTakesOneBuffer();
    void deliverFillsMissingFramesWithSilence_data();
    void deliverFillsMissingFramesWithSilence();
    void dueTimes_data();
    void dueTimes();
    void dueTimesCountFromTheRequest();
    void unopenableDeviceIsReported();
    void waitForDataEnds_data();
    void waitForDataEnds();
};

// One callback asks for exactly bufferSize frames, and after the delivered buffer the stream is
// silent: SDL hands the callback its previous contents, which a callback that only mixed would
// play again.
void TestSoundOutput::eachCallbackTakesOneBuffer_data()
{
    QTest::addColumn<int>("bufferSize");
    QTest::addRow("20 frames") << 20;
    QTest::addRow("56 frames, the largest") << 56;
}

void TestSoundOutput::eachCallbackTakesOneBuffer()
{
    QFETCH(int, bufferSize);
    const int bytes = bufferSize * FrameTiming::bytesPerFrame;
    QByteArray played;
    {
        EngineTestEnvironment environment;
        environment.setBuffers(bufferSize, 6);
        std::unique_ptr<SoundOutput> output(SoundOutput::Instance(cdStereo()));
        QVERIFY(output && output->isDeviceOpen());
        QCOMPARE(output->bufferBytes(), bytes);

        auto buffer = bufferWithFrames(bufferSize, bufferSize);
        QList<ContentStamp *> stamps;
        QVERIFY(playOne(output.get(), buffer.get(), &stamps));
        qDeleteAll(stamps);
        // Let the device run idle for a few more callbacks.
        output->stopMode();
        const qint64 afterPlay = diskFileSize();
        QTRY_VERIFY(diskFileSize() >= afterPlay + 3 * qint64(bytes));
        output.reset();
        played = EngineTestEnvironment::deviceSound();
    }
    QByteArray expected;
    for (int k = 1; k <= bufferSize; ++k)
        expected += framePattern(k);
    QCOMPARE(played.size() % bytes, 0);
    const qsizetype at = played.indexOf(expected);
    QVERIFY(at >= 0);
    QCOMPARE(at % bytes, 0);
    QCOMPARE(withoutSilenceAround(played).size(), expected.size()); // nothing played twice
}

// Slots the buffer lacks, or never filled, sound as silence and are stamped frame 0.
void TestSoundOutput::deliverFillsMissingFramesWithSilence_data()
{
    QTest::addColumn<int>("slotCount");
    QTest::addColumn<int>("filled");
    QTest::addRow("never filled") << 4 << 0;
    QTest::addRow("song ends at slot 3") << 4 << 3;
    QTest::addRow("fewer slots than the device takes") << 2 << 2;
    QTest::addRow("no slots") << 0 << 0;
}

void TestSoundOutput::deliverFillsMissingFramesWithSilence()
{
    QFETCH(int, slotCount);
    QFETCH(int, filled);
    const int frames = 4;
    const int bytes = frames * FrameTiming::bytesPerFrame;
    QList<ContentStamp *> stamps;
    QByteArray played;
    {
        EngineTestEnvironment environment;
        environment.setBuffers(frames, 6);
        std::unique_ptr<SoundOutput> output(SoundOutput::Instance(cdStereo()));
        QVERIFY(output);
        auto buffer = bufferWithFrames(slotCount, filled);
        QVERIFY(playOne(output.get(), buffer.get(), &stamps));
        output.reset();
        played = EngineTestEnvironment::deviceSound();
    }
    QCOMPARE(stamps.size(), frames);
    for (int i = 0; i < frames; ++i) {
        const bool real = i < filled;
        QCOMPARE(stamps[i]->frameNumber, real ? i + 1 : 0);
        QCOMPARE(stamps[i]->content[0], real ? quint8(i + 1) : quint8(0));
        QCOMPARE(stamps[i]->content[1], real ? quint8(0xA5) : quint8(0));
    }
    qDeleteAll(stamps);

    QByteArray expected;
    for (int k = 1; k <= filled; ++k)
        expected += framePattern(k);
    QCOMPARE(played.size() % bytes, 0);
    QCOMPARE(withoutSilenceAround(played), withoutSilenceAround(expected));
}

// Due times after the request: a delivered frame i of N is heard N - 1 + i frame times later; a
// fast-forwarded one at a quarter of that pace, one frame time early.
void TestSoundOutput::dueTimes_data()
{
    QTest::addColumn<int>("frames");
    QTest::addColumn<QList<int>>("indices");
    QTest::addColumn<QList<qint64>>("delivered");
    QTest::addColumn<QList<qint64>>("fastForwarded");
    QTest::addRow("1 frame") << 1 << QList<int>{0} << QList<qint64>{0} << QList<qint64>{-19};
    QTest::addRow("20 frames") << 20 << QList<int>{0, 9, 19} << QList<qint64>{496, 731, 992}
                               << QList<qint64>{104, 163, 228};
    QTest::addRow("56 frames") << 56 << QList<int>{0, 55} << QList<qint64>{1436, 2873}
                               << QList<qint64>{339, 698};
}

void TestSoundOutput::dueTimes()
{
    QFETCH(int, frames);
    QFETCH(QList<int>, indices);
    QFETCH(QList<qint64>, delivered);
    QFETCH(QList<qint64>, fastForwarded);

    EngineTestEnvironment environment;
    environment.setBuffers(frames, 6);
    // Stamps need no device (and closing one waits two buffer times).
    std::unique_ptr<SoundOutput> output(outputWithoutDevice(environment));
    QVERIFY(output);
    const qint64 request = output->lastRequestTime();
    auto buffer = bufferWithFrames(frames, frames);

    QList<ContentStamp *> stamps;
    output->deliver(buffer.get(), &stamps);
    QCOMPARE(stamps.size(), frames);
    for (int n = 0; n < indices.size(); ++n) {
        QCOMPARE(stamps[indices[n]]->dueTime - request, delivered[n]);
        QCOMPARE(stamps[indices[n]]->frameNumber, indices[n] + 1);
    }
    qDeleteAll(stamps);
    stamps.clear();

    buffer->resetCursor();
    output->stampOnly(buffer.get(), &stamps);
    QCOMPARE(stamps.size(), frames);
    for (int n = 0; n < indices.size(); ++n) {
        QCOMPARE(stamps[indices[n]]->dueTime - request, fastForwarded[n]);
        QCOMPARE(stamps[indices[n]]->frameNumber, indices[n] + 1);
    }
    qDeleteAll(stamps);
}

void TestSoundOutput::dueTimesCountFromTheRequest()
{
    EngineTestEnvironment environment;
    environment.setBuffers(4, 6);
    std::unique_ptr<SoundOutput> output(SoundOutput::Instance(cdStereo()));
    QVERIFY(output);
    output->startPlaying();
    QTRY_VERIFY(output->wantsData());
    const qint64 request = output->lastRequestTime();
    QVERIFY(request > 0);
    auto buffer = bufferWithFrames(4, 4);
    QList<ContentStamp *> stamps;
    output->deliver(buffer.get(), &stamps);
    QCOMPARE(stamps.size(), 4);
    QCOMPARE(stamps.first()->dueTime - request, qint64(78));
    QCOMPARE(stamps.last()->dueTime - request, qint64(156));
    qDeleteAll(stamps);
}

// A device that cannot be opened is reported with SDL's reason; fast forward's stamps still
// work without it.
void TestSoundOutput::unopenableDeviceIsReported()
{
    EngineTestEnvironment environment;
    environment.setBuffers(4, 6);
    std::unique_ptr<SoundOutput> output(outputWithoutDevice(environment));
    QVERIFY(output);
    QVERIFY(!output->isDeviceOpen());

    output->startPlaying();
    QVERIFY(!audioFeedActive);
    QVERIFY(!output->wantsData());
    auto buffer = bufferWithFrames(4, 4);
    QList<ContentStamp *> stamps;
    output->stampOnly(buffer.get(), &stamps);
    QCOMPARE(stamps.size(), 4);
    QCOMPARE(stamps.last()->frameNumber, 4);
    qDeleteAll(stamps);
}

// Every way out of the wait for data returns within a few 40 ms polls: a mode change returns
// only once the callback has (SDL waits for it), and so does the destruction, which closes the
// device. A lock held across those calls would hang here.
void TestSoundOutput::waitForDataEnds_data()
{
    QTest::addColumn<QString>("how");
    QTest::addRow("idle") << "idle";
    QTest::addRow("paused") << "paused";
    QTest::addRow("feed flag cleared") << "flag";
    QTest::addRow("deleted") << "deleted";
    QTest::addRow("device reset") << "reset";
}

void TestSoundOutput::waitForDataEnds()
{
    QFETCH(QString, how);
    // A written buffer waits 20 ms, so a callback that gave up does not come straight back.
    EngineTestEnvironment environment(20);
    environment.setBuffers(2, 6);
    std::unique_ptr<SoundOutput> output(SoundOutput::Instance(cdStereo()));
    QVERIFY(output);
    output->startPlaying();
    QTRY_VERIFY(output->wantsData());
    const qint64 request = output->lastRequestTime();

    QElapsedTimer clock;
    clock.start();
    if (how == "idle") {
        output->stopMode();
        QVERIFY(!output->wantsData());
    } else if (how == "paused") {
        output->pauseMode();
        QVERIFY(!output->wantsData());
    } else if (how == "flag") {
        audioFeedActive = false;
        // The callback gives up ("Did not get the buffer to mix!") and SDL asks again.
        QTRY_VERIFY(output->lastRequestTime() != request);
        output->stopMode();
    } else if (how == "deleted") {
        output.reset();
        QVERIFY(!SoundOutput::hasAnInstance());
    } else if (how == "reset") {
        output->resetDevice();
        QVERIFY(!output->wantsData());
        QCOMPARE(EngineTestEnvironment::sleeps(), QList<int>({50, 50}));
    }
    const qint64 elapsed = clock.elapsed();
    QVERIFY2(elapsed < 400, qPrintable(QStringLiteral("took %1 ms").arg(elapsed)));
}

QTEST_MAIN(TestSoundOutput)
#include "tst_soundoutput.moc"
