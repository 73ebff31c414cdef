// The frame decoder on real files through the decoder library: exact counts, names outside
// Latin-1, counting and playing agreeing.
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
    void countsAndPlaysEncodedSongs_data();
    void countsAndPlaysEncodedSongs();

private:
    QTemporaryDir dir;
};

void TestFrameDecoder::countsSilentFramesExactly_data()
{
    QTest::addColumn<int>("frames");
    for (int n : {0, 1, 2, 9, 10, 11, 99, 100, 101, 999, 1000, 1001, 3000})
        QTest::addRow("%d", n) << n;
}

// The name is outside Latin-1 (common in karaoke collections): it still opens.
void TestFrameDecoder::countsSilentFramesExactly()
{
    QFETCH(int, frames);
    const QString path = dir.filePath(QStringLiteral("Ночь 夜 ♫.mp3"));
    QVERIFY(Mp3Fixtures::writeFile(path, Mp3Fixtures::emptyFrames(frames)));
    if (frames > 0)
        QTest::ignoreMessage(QtDebugMsg,
                             qPrintable(QString("TOTAL FRAMES AT END OF COUNT IS %1").arg(frames)));
    FrameDecoder decoder(path);
    QCOMPARE(decoder.isOpen(), frames > 0);
    QCOMPARE(decoder.totalFrames(), frames);
    // A song of one frame opens but plays nothing.
    QCOMPARE(decoder.hasMoreFrames(), frames > 1);
}

void TestFrameDecoder::countsAndPlaysEncodedSongs_data()
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

void TestFrameDecoder::countsAndPlaysEncodedSongs()
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
    QCOMPARE(decoder.streamInfo().sampleRate, 44100);
    // Resampled songs may gain or lose a frame's worth of samples at the edges.
    const int tolerance = sampleRate == 44100 ? 0 : 1;
    QVERIFY2(qAbs(decoder.totalFrames() - frames) <= tolerance,
             qPrintable(QString::number(decoder.totalFrames())));
    // Counting and playing agree: numbered from 1, and the call that meets the end still gets
    // a number.
    FrameSlot slot;
    int played = 0;
    while (const int number = decoder.decodeNext(&slot)) {
        QCOMPARE(number, ++played);
        QCOMPARE(slot.frameNumber, number);
    }
    QCOMPARE(played, decoder.totalFrames() + 1);
    // Rewinding after the end succeeds but does not restart playing.
    QVERIFY(decoder.rewind());
    QCOMPARE(decoder.decodeNext(&slot), 0);
    QCOMPARE(decoder.totalFrames(), played - 1);
}

QTEST_GUILESS_MAIN(TestFrameDecoder)
#include "tst_framedecoder.moc"
