// The frame decoder's conversation with the decoder library, recorded by a stand-in library:
// the counting gallop, the open and close sequence, and numbering under concurrent callers.
#include "fakemp3d.h"
#include "framedecoder.h"
#include "frameslot.h"

#include <QSet>
#include <QTest>

#include <thread>
#include <vector>

using FakeMp3d::state;

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
    void gallopCalls_data();
    void gallopCalls();
    void countsEveryLengthExactly();
    void openAndClose_data();
    void openAndClose();
    void rewindReportsTheLibraryAndKeepsTheCount();
    void concurrentCallersGetEveryNumberOnce();
};

void TestFrameDecoderCalls::gallopCalls_data()
{
    QTest::addColumn<int>("frames");
    QTest::addColumn<QString>("expected");
    QTest::addRow("12 frames") << 12
                               << "Init "
                                  // strides of 1000 and 100 find nothing
                                  "Forward(999)=0 Stop=1 Forward(99)=0 Stop=1 "
                                  // one stride of 10, then back to frame 9
                                  "Forward(9)=1 Decode=1 Forward(9)=0 Stop=1 Forward(9)=1 "
                                  // frames 10, 11, 12 one by one, then rewound for playing
                                  "Decode=1 Decode=1 Decode=1 Decode=0 Stop=1 Stop=1";
    QTest::addRow("1000 frames") << 1000
                                 << "Init Forward(999)=1 Decode=1 Forward(999)=0 Stop=1 "
                                    "Forward(900)=1 Forward(99)=1 Decode=1 Forward(99)=0 Stop=1 "
                                    "Forward(990)=1 Forward(9)=1 Decode=1 Forward(9)=0 Stop=1 "
                                    "Forward(999)=1 Decode=1 Decode=0 Stop=1 Stop=1";
}

void TestFrameDecoderCalls::gallopCalls()
{
    QFETCH(int, frames);
    QFETCH(QString, expected);
    FakeMp3d::reset(frames);
    QTest::ignoreMessage(QtDebugMsg,
                         qPrintable(QString("TOTAL FRAMES AT END OF COUNT IS %1").arg(frames)));
    FrameDecoder decoder("song.mp3");
    QCOMPARE(decoder.totalFrames(), frames);
    QCOMPARE(state.calls.join(' '), expected);
}

// Every length up to a little over three thousand, with the cost the gallop promises: one
// decode per thousand frames plus at most about a dozen for each finer phase.
void TestFrameDecoderCalls::countsEveryLengthExactly()
{
    QStringList wrong;
    const QtMessageHandler previous = qInstallMessageHandler(keepLast);
    for (int frames = 0; frames <= 3100; ++frames) {
        FakeMp3d::reset(frames);
        FrameDecoder decoder("song.mp3");
        if (decoder.totalFrames() != frames || state.decodes > frames / 1000 + 34 ||
            lastMessage != QString("TOTAL FRAMES AT END OF COUNT IS %1").arg(frames))
            wrong << QString("%1 frames: counted %2 with %3 decodes, said \"%4\"")
                         .arg(frames)
                         .arg(decoder.totalFrames())
                         .arg(state.decodes)
                         .arg(lastMessage);
    }
    qInstallMessageHandler(previous);
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.mid(0, 5).join('\n')));
}

void TestFrameDecoderCalls::openAndClose_data()
{
    QTest::addColumn<int>("frames");
    QTest::addColumn<bool>("opens");
    QTest::addColumn<int>("stopResult");
    QTest::addColumn<bool>("plays");
    QTest::addColumn<QString>("lastCalls");
    QTest::addRow("fails to open") << 50 << false << 1 << false << "Init";
    QTest::addRow("no frame") << 0 << true << 1 << false << "Stop=1 Close";
    QTest::addRow("one frame") << 1 << true << 1 << false << "Stop=1 Close";
    QTest::addRow("two frames") << 2 << true << 1 << true << "Stop=1 Close";
    QTest::addRow("rewind after counting fails") << 20 << true << 0 << false << "Stop=0 Close";
}

// A file of one frame, or one that cannot be rewound after counting, plays nothing; a file
// that does not open gets no further calls; closing rewinds, then closes, whatever the rewind
// said.
void TestFrameDecoderCalls::openAndClose()
{
    QFETCH(int, frames);
    QFETCH(bool, opens);
    QFETCH(int, stopResult);
    QFETCH(bool, plays);
    QFETCH(QString, lastCalls);
    FakeMp3d::reset(frames, opens);
    state.stopResult = stopResult;
    {
        FrameDecoder decoder("song.mp3");
        QCOMPARE(decoder.isOpen(), opens);
        QCOMPARE(decoder.hasMoreFrames(), plays);
        FrameSlot slot;
        slot.frameNumber = 77;
        QCOMPARE(decoder.decodeNext(&slot) != 0, plays);
        QCOMPARE(slot.frameNumber != 77, plays);
        if (!opens) {
            QCOMPARE(decoder.totalFrames(), 0);
            QVERIFY(!decoder.rewind());
        }
    }
    const int tail = int(lastCalls.count(' ')) + 1;
    QCOMPARE(state.calls.mid(state.calls.size() - tail).join(' '), lastCalls);
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
    state.stopResult = 0;
    QVERIFY(!decoder.rewind());
    QVERIFY(decoder.hasMoreFrames());
    QCOMPARE(decoder.totalFrames(), 3);
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
            while (const int number = decoder.decodeNext(&slot))
                mine.push_back(slot.frameNumber == number ? number : -number);
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
