// The frame decoder's conversation with the decoder library, recorded by a stand-in library:
// the counting gallop, the open and close sequence, and numbering under concurrent callers.
#include "fakemp3d.h"
#include "framedecoder.h"
#include "frameslot.h"

#include <QSet>
#include <QTest>

#include <thread>
#include <vector>

namespace {

QString lastMessage;
void keepLast(QtMsgType, const QMessageLogContext &, const QString &text)
{
    lastMessage = text;
}

} // namespace

class TestFrameDecoderCalls : public QObject
{
    Q_OBJECT

private slots:
    void gallopCallsForTwelveFrames();
    void gallopCallsForAThousandFrames();
    void countsEveryLengthExactly();
    void failedOpenMakesNoFurtherCalls();
    void oneFrameOrFailedRewindPlaysNothing_data();
    void oneFrameOrFailedRewindPlaysNothing();
    void rewindReportsTheLibraryAndKeepsTheCount();
    void pathGoesInTheFileNameEncoding();
    void concurrentCallersGetEveryNumberOnce();
};

void TestFrameDecoderCalls::gallopCallsForTwelveFrames()
{
    FakeMp3d::reset(12);
    QTest::ignoreMessage(QtDebugMsg, "TOTAL FRAMES AT END OF COUNT IS 12");
    FrameDecoder decoder("song.mp3");
    QCOMPARE(decoder.totalFrames(), 12);
    const QStringList expected = {"Init",
                                  // strides of 1000 and 100 find nothing
                                  "Forward(999)=0", "Stop=1", "Forward(99)=0", "Stop=1",
                                  // one stride of 10, then back to frame 9
                                  "Forward(9)=1", "Decode=1", "Forward(9)=0", "Stop=1",
                                  "Forward(9)=1",
                                  // frames 10, 11, 12 one by one
                                  "Decode=1", "Decode=1", "Decode=1", "Decode=0", "Stop=1",
                                  // rewound for playing
                                  "Stop=1"};
    QCOMPARE(FakeMp3d::calls(), expected);
}

void TestFrameDecoderCalls::gallopCallsForAThousandFrames()
{
    FakeMp3d::reset(1000);
    QTest::ignoreMessage(QtDebugMsg, "TOTAL FRAMES AT END OF COUNT IS 1000");
    FrameDecoder decoder("song.mp3");
    const QStringList expected = {
        "Init",           "Forward(999)=1", "Decode=1", "Forward(999)=0", "Stop=1",
        "Forward(900)=1", "Forward(99)=1",  "Decode=1", "Forward(99)=0",  "Stop=1",
        "Forward(990)=1", "Forward(9)=1",   "Decode=1", "Forward(9)=0",   "Stop=1",
        "Forward(999)=1", "Decode=1",       "Decode=0", "Stop=1",         "Stop=1"};
    QCOMPARE(FakeMp3d::calls(), expected);
    QVERIFY(decoder.hasMoreFrames());
}

// Every length up to a little over three thousand, with the cost the gallop promises: one
// decode per thousand frames plus at most about a dozen for each finer phase.
void TestFrameDecoderCalls::countsEveryLengthExactly()
{
    const QtMessageHandler previous = qInstallMessageHandler(keepLast);
    for (int frames = 0; frames <= 3100; ++frames) {
        FakeMp3d::reset(frames);
        FrameDecoder decoder("song.mp3");
        if (decoder.totalFrames() != frames || FakeMp3d::decodeCalls() > frames / 1000 + 34) {
            qInstallMessageHandler(previous);
            QFAIL(qPrintable(QString("%1 frames counted as %2 with %3 decodes")
                                 .arg(frames)
                                 .arg(decoder.totalFrames())
                                 .arg(FakeMp3d::decodeCalls())));
        }
        if (lastMessage != QString("TOTAL FRAMES AT END OF COUNT IS %1").arg(frames)) {
            qInstallMessageHandler(previous);
            QFAIL(qPrintable(lastMessage));
        }
    }
    qInstallMessageHandler(previous);
}

void TestFrameDecoderCalls::failedOpenMakesNoFurtherCalls()
{
    FakeMp3d::reset(50, false);
    {
        FrameDecoder decoder("missing.mp3");
        QVERIFY(!decoder.isOpen());
        QVERIFY(!decoder.hasMoreFrames());
        QCOMPARE(decoder.totalFrames(), 0);
        FrameSlot slot;
        slot.frameNumber = 77;
        QCOMPARE(decoder.decodeNext(&slot), 0);
        QCOMPARE(slot.frameNumber, 77);
        QVERIFY(!decoder.rewind());
    }
    QCOMPARE(FakeMp3d::calls(), QStringList{"Init"});
}

void TestFrameDecoderCalls::oneFrameOrFailedRewindPlaysNothing_data()
{
    QTest::addColumn<int>("frames");
    QTest::addColumn<int>("stopResult");
    QTest::addColumn<bool>("plays");
    QTest::addRow("no frame") << 0 << 1 << false;
    QTest::addRow("one frame") << 1 << 1 << false;
    QTest::addRow("two frames") << 2 << 1 << true;
    QTest::addRow("rewind after counting fails") << 20 << 0 << false;
}

void TestFrameDecoderCalls::oneFrameOrFailedRewindPlaysNothing()
{
    QFETCH(int, frames);
    QFETCH(int, stopResult);
    QFETCH(bool, plays);
    FakeMp3d::reset(frames);
    FakeMp3d::setStopResult(stopResult);
    {
        FrameDecoder decoder("song.mp3");
        QVERIFY(decoder.isOpen());
        QCOMPARE(decoder.hasMoreFrames(), plays);
        FrameSlot slot;
        QCOMPARE(decoder.decodeNext(&slot) != 0, plays);
    }
    // Closing: rewind, then close, whatever the rewind said.
    const QStringList calls = FakeMp3d::calls();
    QCOMPARE(calls.mid(calls.size() - 2),
             (QStringList{QString("Stop=%1").arg(stopResult), "Close"}));
}

void TestFrameDecoderCalls::rewindReportsTheLibraryAndKeepsTheCount()
{
    FakeMp3d::reset(3);
    FrameDecoder decoder("song.mp3");
    FrameSlot slot;
    QCOMPARE(decoder.decodeNext(&slot), 1);
    QCOMPARE(decoder.decodeNext(&slot), 2);
    QVERIFY(decoder.rewind());
    // Numbering goes on; the library starts again at its first frame.
    QCOMPARE(decoder.decodeNext(&slot), 3);
    QCOMPARE(slot.frameNumber, 3);
    QCOMPARE(slot.pcm[0], quint8(1));
    QCOMPARE(decoder.decodeNext(&slot), 4);
    QCOMPARE(decoder.decodeNext(&slot), 5);
    // The call that meets the end still gets a number.
    QCOMPARE(decoder.decodeNext(&slot), 6);
    QVERIFY(!decoder.hasMoreFrames());
    QCOMPARE(slot.frameNumber, 6);
    slot.frameNumber = 99;
    QCOMPARE(decoder.decodeNext(&slot), 0);
    QCOMPARE(slot.frameNumber, 99);

    FakeMp3d::setStopResult(0);
    QVERIFY(!decoder.rewind());
    FakeMp3d::setStopResult(1);
    QVERIFY(decoder.rewind());
    QVERIFY(!decoder.hasMoreFrames());
    QCOMPARE(decoder.decodeNext(&slot), 0);
    QCOMPARE(decoder.totalFrames(), 3);
}

void TestFrameDecoderCalls::pathGoesInTheFileNameEncoding()
{
    FakeMp3d::reset(5);
    FrameDecoder decoder(QStringLiteral("Лето ♪ 夏.mp3"));
    QCOMPARE(FakeMp3d::initPath(),
             QByteArray("\xd0\x9b\xd0\xb5\xd1\x82\xd0\xbe \xe2\x99\xaa \xe5\xa4\x8f.mp3"));
    QCOMPARE(decoder.streamInfo().sampleRate, 44100);
    QCOMPARE(decoder.streamInfo().channels, 2);
}

// Four threads share one decoder: every number from 1 to the end is handed out exactly once,
// and each slot holds the number it was given. Run under ThreadSanitizer as well.
void TestFrameDecoderCalls::concurrentCallersGetEveryNumberOnce()
{
    const int frames = 2000;
    FakeMp3d::reset(frames);
    FrameDecoder decoder("song.mp3");
    std::vector<std::vector<int>> numbers(4);
    // std::thread rather than QThread: its start and join are visible to ThreadSanitizer.
    std::vector<std::thread> threads;
    for (auto &mine : numbers) {
        threads.emplace_back([&decoder, &mine] {
            FrameSlot slot;
            while (const int number = decoder.decodeNext(&slot)) {
                if (slot.frameNumber != number)
                    mine.push_back(-number);
                mine.push_back(number);
            }
        });
    }
    for (auto &thread : threads)
        thread.join();
    QSet<int> seen;
    int handedOut = 0;
    for (const auto &mine : numbers) {
        for (int number : mine) {
            QVERIFY2(number > 0, "a slot lost its number to another thread");
            seen.insert(number);
            ++handedOut;
        }
    }
    // frames + 1: the call that met the end is numbered too.
    QCOMPARE(handedOut, frames + 1);
    QCOMPARE(seen.size(), frames + 1);
    QVERIFY(seen.contains(1) && seen.contains(frames + 1));
}

QTEST_GUILESS_MAIN(TestFrameDecoderCalls)
#include "tst_framedecodercalls.moc"
