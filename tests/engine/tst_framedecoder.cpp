// The frame decoder on real files through the decoder library: exact counts, numbering, the
// end of the song, rewinding.
#include "framedecoder.h"
#include "frameslot.h"
#include "mp3fixtures.h"

#include <QTemporaryDir>
#include <QTest>

class TestFrameDecoder : public QObject
{
    Q_OBJECT

private slots:
    void init() { QVERIFY(dir.isValid()); }

    void countsSilentFramesExactly_data();
    void countsSilentFramesExactly();
    void countsEncodedSongs_data();
    void countsEncodedSongs();
    void decodesEveryFrameThenStops();
    void unreadableFileHasNoFrames_data();
    void unreadableFileHasNoFrames();
    void nameOutsideLatin1Opens();

private:
    QTemporaryDir dir;
};

void TestFrameDecoder::countsSilentFramesExactly_data()
{
    QTest::addColumn<int>("frames");
    for (int n : {1, 2, 9, 10, 11, 99, 100, 101, 999, 1000, 1001, 3000})
        QTest::addRow("%d", n) << n;
}

void TestFrameDecoder::countsSilentFramesExactly()
{
    QFETCH(int, frames);
    const QString path = dir.filePath("frames.mp3");
    QVERIFY(Mp3Fixtures::writeFile(path, Mp3Fixtures::emptyFrames(frames)));
    QTest::ignoreMessage(QtDebugMsg,
                         qPrintable(QString("TOTAL FRAMES AT END OF COUNT IS %1").arg(frames)));
    FrameDecoder decoder(path);
    QVERIFY(decoder.isOpen());
    QCOMPARE(decoder.totalFrames(), frames);
    // A song of one frame opens but plays nothing.
    QCOMPARE(decoder.hasMoreFrames(), frames > 1);
}

void TestFrameDecoder::countsEncodedSongs_data()
{
    QTest::addColumn<int>("sampleRate");
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("vbrQuality");
    QTest::addColumn<double>("seconds");
    QTest::addColumn<int>("frames");
    // gapless: ceil(seconds * 44100 / 1152)
    QTest::addRow("44.1 kHz stereo CBR") << 44100 << 2 << -1 << 3.0 << 115;
    QTest::addRow("44.1 kHz stereo VBR") << 44100 << 2 << 2 << 3.0 << 115;
    QTest::addRow("exactly 26 frames") << 44100 << 1 << -1 << 26 * 1152 / 44100.0 << 26;
    QTest::addRow("48 kHz mono") << 48000 << 1 << -1 << 3.0 << 115;
    QTest::addRow("22.05 kHz MPEG-2") << 22050 << 2 << -1 << 3.0 << 115;
}

void TestFrameDecoder::countsEncodedSongs()
{
    QFETCH(int, sampleRate);
    QFETCH(int, channels);
    QFETCH(int, vbrQuality);
    QFETCH(double, seconds);
    QFETCH(int, frames);
    Mp3Fixtures::Sine sine;
    sine.sampleRate = sampleRate;
    sine.channels = channels;
    sine.vbrQuality = vbrQuality;
    sine.seconds = seconds;
    const QString path = dir.filePath("song.mp3");
    QVERIFY(Mp3Fixtures::writeSine(path, sine));
    FrameDecoder decoder(path);
    // Resampled songs may gain or lose a frame's worth of samples at the edges.
    const int tolerance = sampleRate == 44100 ? 0 : 1;
    QVERIFY2(qAbs(decoder.totalFrames() - frames) <= tolerance,
             qPrintable(QString::number(decoder.totalFrames())));
    // Counting and playing agree: exactly totalFrames frames come out after the count.
    FrameSlot slot;
    int played = 0;
    while (decoder.decodeNext(&slot))
        ++played;
    QCOMPARE(played, decoder.totalFrames() + 1); // the last call met the end
}

void TestFrameDecoder::decodesEveryFrameThenStops()
{
    Mp3Fixtures::Sine sine;
    sine.seconds = 0.5; // 20 frames
    const QString path = dir.filePath("song.mp3");
    QVERIFY(Mp3Fixtures::writeSine(path, sine));
    FrameDecoder decoder(path);
    QCOMPARE(decoder.totalFrames(), 20);
    QCOMPARE(decoder.streamInfo().channels, 2);
    QCOMPARE(decoder.streamInfo().sampleRate, 44100);

    FrameSlot first;
    QCOMPARE(decoder.decodeNext(&first), 1);
    QCOMPARE(first.frameNumber, 1);
    FrameSlot slot;
    for (int n = 2; n <= 20; ++n)
        QCOMPARE(decoder.decodeNext(&slot), n);
    QVERIFY(decoder.hasMoreFrames());
    QCOMPARE(decoder.decodeNext(&slot), 21);
    QVERIFY(!decoder.hasMoreFrames());
    QCOMPARE(decoder.decodeNext(&slot), 0);

    // Rewinding after the end succeeds but does not restart playing.
    QVERIFY(decoder.rewind());
    QVERIFY(!decoder.hasMoreFrames());
    QCOMPARE(decoder.decodeNext(&slot), 0);
    QCOMPARE(decoder.totalFrames(), 20);
}

void TestFrameDecoder::unreadableFileHasNoFrames_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addRow("zero length") << QByteArray();
    QTest::addRow("text") << QByteArray("not a song\n").repeated(300);
}

void TestFrameDecoder::unreadableFileHasNoFrames()
{
    QFETCH(QByteArray, bytes);
    const QString path = dir.filePath("bad.mp3");
    QVERIFY(Mp3Fixtures::writeFile(path, bytes));
    FrameDecoder decoder(path);
    QVERIFY(!decoder.isOpen());
    QVERIFY(!decoder.hasMoreFrames());
    QCOMPARE(decoder.totalFrames(), 0);
    FrameSlot slot;
    QCOMPARE(decoder.decodeNext(&slot), 0);
    QVERIFY(!decoder.rewind());
}

void TestFrameDecoder::nameOutsideLatin1Opens()
{
    const QString path = dir.filePath(QStringLiteral("Ночь 夜 ♫.mp3"));
    QVERIFY(Mp3Fixtures::writeFile(path, Mp3Fixtures::emptyFrames(7)));
    FrameDecoder decoder(path);
    QVERIFY(decoder.isOpen());
    QCOMPARE(decoder.totalFrames(), 7);
}

QTEST_GUILESS_MAIN(TestFrameDecoder)
#include "tst_framedecoder.moc"
