// The frame decoder on a stand-in of the decoder library: the counting gallop at every length
// and its cost, opening and closing, and numbering under concurrent callers.
#include "framedecoder.h"
#include "frameslot.h"
#include "scriptedsong.h"

#include <QTest>

#include <algorithm>
#include <numeric>
#include <thread>
#include <vector>

using ScriptedSong::song;

class TestFrameDecoderCalls : public QObject
{
    Q_OBJECT

private slots:
    void countsEveryLengthExactly();
    void openAndClose_data();
    void openAndClose();
    void concurrentCallersGetEveryNumberOnce();
};

// Every length up to a little over three thousand, with the cost the gallop promises: one
// decode per thousand frames plus at most about a dozen for each finer phase.
void TestFrameDecoderCalls::countsEveryLengthExactly()
{
    for (int frames = 0; frames <= 3100; ++frames) {
        ScriptedSong::reset(frames);
        QTest::ignoreMessage(QtDebugMsg,
                             qPrintable(QString("TOTAL FRAMES AT END OF COUNT IS %1").arg(frames)));
        FrameDecoder decoder("song.mp3");
        QVERIFY2(decoder.totalFrames() == frames && song.decodes <= frames / 1000 + 34,
                 qPrintable(QString("%1 frames: counted %2 with %3 decodes")
                                .arg(frames)
                                .arg(decoder.totalFrames())
                                .arg(song.decodes)));
    }
}

void TestFrameDecoderCalls::openAndClose_data()
{
    QTest::addColumn<int>("frames");
    QTest::addColumn<bool>("opens");
    QTest::addColumn<bool>("rewinds");
    QTest::addColumn<bool>("plays");
    QTest::addRow("fails to open") << 50 << false << true << false;
    QTest::addRow("no frame") << 0 << true << true << false;
    QTest::addRow("one frame") << 1 << true << true << false;
    QTest::addRow("two frames") << 2 << true << true << true;
    QTest::addRow("rewind after counting fails") << 20 << true << false << false;
}

// A file of one frame, or one that cannot be rewound after counting, plays nothing; a file that
// does not open gets no further calls; closing rewinds, then closes. Numbering goes on across a
// rewind, and the call that meets the end is numbered too.
void TestFrameDecoderCalls::openAndClose()
{
    QFETCH(int, frames);
    QFETCH(bool, opens);
    QFETCH(bool, rewinds);
    QFETCH(bool, plays);
    ScriptedSong::reset(frames, opens);
    song.rewinds = rewinds;
    {
        FrameDecoder decoder("song.mp3");
        QCOMPARE(decoder.isOpen(), opens);
        if (!opens)
            QCOMPARE(decoder.totalFrames(), 0);
        QCOMPARE(decoder.hasMoreFrames(), plays);
        FrameSlot slot;
        QCOMPARE(decoder.decodeNext(&slot), plays ? 1 : 0);
        QCOMPARE(decoder.rewind(), opens && rewinds);
        if (plays) {
            QCOMPARE(decoder.decodeNext(&slot), 2);
            QCOMPARE(slot.pcm[0], quint8(1)); // the library started again at its first frame
            while (decoder.decodeNext(&slot) != 0) {
            }
            QVERIFY(decoder.rewind());
            QCOMPARE(decoder.decodeNext(&slot), 0); // the end stays the end
        }
    }
    QCOMPARE(song.calls.mid(song.calls.size() - 2).join(' '), opens ? "Stop Close" : "Init");
}

// Four threads share one decoder: every number from 1 to the end is handed out exactly once,
// and each slot holds the number it was given. Run under ThreadSanitizer as well.
void TestFrameDecoderCalls::concurrentCallersGetEveryNumberOnce()
{
    const int frames = 2000;
    ScriptedSong::reset(frames);
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
    std::vector<int> handedOut;
    for (const auto &mine : numbers)
        handedOut.insert(handedOut.end(), mine.begin(), mine.end());
    std::sort(handedOut.begin(), handedOut.end());
    // frames + 1: the call that met the end is numbered too.
    std::vector<int> expected(frames + 1);
    std::iota(expected.begin(), expected.end(), 1);
    QVERIFY(handedOut == expected);
}

QTEST_GUILESS_MAIN(TestFrameDecoderCalls)
#include "tst_framedecodercalls.moc"
