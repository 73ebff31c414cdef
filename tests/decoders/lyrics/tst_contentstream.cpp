#include "contentstreamdecoder.h"
#include "contenttimeline.h"

#include <QTest>

using namespace ContentTimeline;

namespace {

// What a display fed with every frame of the stream and 50 more sees, one line per change.
QStringList decodeAll(const ContentStream &stream)
{
    ContentStreamDecoder decoder;
    QStringList seen;
    for (qint32 frame = 1; frame <= stream.frameCount() + 50; ++frame) {
        quint8 bytes[2];
        stream.frameBytes(frame, bytes);
        const ContentStreamDecoder::Step step = decoder.feed(bytes[0], bytes[1]);
        if (step.pageShown)
            seen << describe(frame, page(0, decoder.page()));
        if (step.highlightSet)
            seen << describe(frame, wipe(0, decoder.highlightStart(), decoder.highlightEnd()));
    }
    return seen;
}

} // namespace

class TestContentStream : public QObject
{
    Q_OBJECT

private slots:
    void frameOfTime_data();
    void frameOfTime();
    void goldenBytes();
    void delivery_data();
    void delivery();
    void wipesNeedingRegistersEveryFrameKeepMoving();
    void absurdTimesCostNoMemory();
    void decoderRules_data();
    void decoderRules();
};

void TestContentStream::frameOfTime_data()
{
    QTest::addColumn<qint64>("ms");
    QTest::addColumn<qint32>("frame");
    QTest::addRow("song start") << qint64(0) << 1;
    QTest::addRow("before start") << qint64(-500) << 1;
    QTest::addRow("last ms of frame 1") << qint64(26) << 1;
    QTest::addRow("first ms of frame 2") << qint64(27) << 2;
    QTest::addRow("frame 2 ends at 52.2449") << qint64(52) << 2;
    QTest::addRow("one second") << qint64(1000) << 39;
    QTest::addRow("five minutes") << qint64(300000) << 11485;
}

void TestContentStream::frameOfTime()
{
    QFETCH(qint64, ms);
    QFETCH(qint32, frame);
    QCOMPARE(FrameTiming::frameForMs(ms), frame);
}

void TestContentStream::goldenBytes()
{
    const DisplayTimeline timeline{page(100, "Hi!"), wipe(200, 2), wipe(400, 1, 3), page(600, "é"),
                                   wipe(600, 1, 1)};
    const ContentStream stream = ContentStream::encode(timeline);
    const QByteArray expected = QByteArray::fromHex("F701" // 1: header, version 1
                                                    "4869" // 2: "Hi"
                                                    "2100" // 3: "!" and padding
                                                    "FC00" // 4 (100 ms): show
                                                    "C3A9" // 5: "é", the next page
                                                    "00000000"
                                                    "F802" // 8 (200 ms): [0, 2)
                                                    "C101" // 9: start 1, ahead of time
                                                    "000000000000000000000000"
                                                    "F803" // 16 (400 ms): [1, 3)
                                                    "C101" // 17
                                                    "00000000000000000000"
                                                    "FC01"); // 23 (600 ms): show, [1, 1)
    QCOMPARE(streamBytes(stream).toHex(' '), expected.toHex(' '));
    QCOMPARE(stream.frameCount(), 23);
    QCOMPARE(decodeAll(stream), onTime(timeline));
}

void TestContentStream::delivery_data()
{
    // What a display fed with the stream's frames sees: every event on its own frame while the
    // rate of two bytes a frame keeps up; otherwise each takes effect as early as the stream
    // allows, and only what is still current by then is seen.
    QTest::addColumn<DisplayTimeline>("timeline");
    QTest::addColumn<QStringList>("expected");
    auto onTimeRow = [](const char *name, const DisplayTimeline &timeline) {
        QTest::addRow("%s", name) << timeline << onTime(timeline);
    };
    onTimeRow("one page, line wipes",
              DisplayTimeline{page(3000, "Hello\nworld"), wipe(3500, 5), wipe(4200, 11)});
    onTimeRow("next page sent while the first is sung",
              DisplayTimeline{page(2000, "First line\nsecond line"), wipe(2100, 10), wipe(2600, 22),
                              page(6000, "Third line, and it is a rather long one\nfourth line"),
                              wipe(6100, 39), wipe(7000, 51)});
    onTimeRow("non-Latin text, positions in UTF-16 units",
              DisplayTimeline{page(2500, QString::fromUtf8("夜に駆ける\n🎤 Ωμέγα\nÄÖÜ")),
                              wipe(2600, 5), wipe(3000, 13), wipe(3300, 17)});
    onTimeRow(
        "instrumental break: an empty page",
        DisplayTimeline{page(1000, "la la"), wipe(1200, 5), page(4000, ""), page(6000, "back")});
    QString wide;
    for (int i = 0; i < 15; ++i)
        wide += QString(99, QChar('a' + i)) + "\n";
    onTimeRow("positions beyond 1023 and a highlight not starting at 0",
              DisplayTimeline{page(25000, wide), wipe(25100, 1200), wipe(25200, 300, 1400),
                              wipe(25300, 1500), wipe(25400, 7)});
    DisplayTimeline third{page(2000, "one two three four five six seven eight nine ten")};
    for (int w = 0; w < 10; ++w)
        third << wipe(2100 + w * 80, 3 + w * 4); // a word every three frames
    onTimeRow("word stamps every three frames", third << page(3500, "next"));

    auto at = [](int frame) { return qint64(std::ceil((frame - 1) * 26.12245)); };
    const qint32 f400 = FrameTiming::frameForMs(400), f2000 = FrameTiming::frameForMs(2000);

    // frame 1 is the header, 2..6 the text: the page shows at 7 with the wipe due by then
    QTest::addRow("first page as soon as its text is through")
        << DisplayTimeline{page(0, "abcdefghij"), wipe(60, 3), wipe(140, 6), wipe(400, 10)}
        << QStringList{"7 page \"abcdefghij\"", "7 highlight 0-6", describe(f400, wipe(0, 10))};
    // a page's text may only start once the page before it shows: 20, 21 and 1 text frames
    const QString a(40, 'a'), b(41, 'b');
    QTest::addRow("pages too long for their gap back to back")
        << DisplayTimeline{page(0, a), page(30, b), page(60, "cc")}
        << QStringList{describe(22, page(0, a)), describe(44, page(0, b)),
                       describe(46, page(0, "cc"))};
    // the last word and the next page in one frame: the page is not pushed back by a wipe
    // nobody would see
    const qint32 f = FrameTiming::frameForMs(2990);
    QTest::addRow("page hides the wipes of its frame")
        << DisplayTimeline{page(1000, "ab"), wipe(2000, 1), wipe(2990, 2), page(3000, "cd"),
                           wipe(3003, 1)}
        << QStringList{describe(FrameTiming::frameForMs(1000), page(0, "ab")),
                       describe(f2000, wipe(0, 1)), describe(f, page(0, "cd")),
                       describe(f, wipe(0, 1))};
    // a word on every frame from 41, the next page (10 text frames) wanted at 45: words keep
    // their frames, the text goes out in 45..54, the page shows at 55 with the wipe due then
    DisplayTimeline words{page(at(40), "w")};
    for (int i = 41; i <= 44; ++i)
        words << wipe(at(i), 1);
    words << page(at(45), QString(20, 'x'));
    for (int i = 46; i <= 60; ++i)
        words << wipe(at(i), i - 40);
    QStringList wordsSeen{"40 page \"w\""};
    for (int i = 41; i <= 44; ++i)
        wordsSeen << describe(i, wipe(0, 1));
    wordsSeen << describe(55, page(0, QString(20, 'x')));
    for (int i = 55; i <= 60; ++i)
        wordsSeen << describe(i, wipe(0, i - 40));
    QTest::addRow("due words delay the next page only by their frames") << words << wordsSeen;
    // 100 000 word stamps in the first second behind 2000 frames of text: scheduling stays
    // linear; header, text and one end-register unit, then the page with the last wipe
    DisplayTimeline flood{page(0, QString(4000, 'x'))};
    for (int i = 0; i < 100000; ++i)
        flood << wipe(i / 100, i % 4000 + 1);
    QTest::addRow("a flood of wipes collapses")
        << flood
        << QStringList{describe(2003, page(0, QString(4000, 'x'))),
                       describe(2003, wipe(0, 99999 % 4000 + 1))};
    // 6000 bytes of UTF-8 cut at a character boundary to 4095 (2048 text frames), the wipe
    // clamped to what was sent
    const QString huge = QString::fromUtf8("あ").repeated(2000);
    const QString sent = huge.left(ContentFormat::maxPageBytes / 3);
    QTest::addRow("long page cut at a character boundary")
        << DisplayTimeline{page(0, huge), wipe(100000, 2000)}
        << QStringList{describe(2050, page(0, sent)),
                       describe(FrameTiming::frameForMs(100000), wipe(0, int(sent.size())))};
}

void TestContentStream::delivery()
{
    QFETCH(DisplayTimeline, timeline);
    QFETCH(QStringList, expected);
    const ContentStream stream = ContentStream::encode(timeline);
    QCOMPARE(decodeAll(stream), expected);
    const bool punctual = expected == onTime(timeline);
    for (const ContentStream::ScheduledEvent &s : stream.events())
        QVERIFY(s.lateBy() >= 0 && (s.lateBy() == 0 || !punctual));
}

void TestContentStream::wipesNeedingRegistersEveryFrameKeepMoving()
{
    // Wipes on every frame whose ends need a different end register each time: no frame is
    // free for the register units, so each wipe is late, but each one that goes out is the
    // newest due and the first goes out after a single register unit.
    auto at = [](int frame) { return qint64(std::ceil((frame - 1) * 26.12245)); };
    DisplayTimeline timeline{page(at(2000), QString(3000, 'x'))};
    for (int f = 2001; f <= 2040; ++f)
        timeline << wipe(at(f), f % 2 ? 1100 : 2100);
    const QStringList seen = decodeAll(ContentStream::encode(timeline));
    QCOMPARE(seen.first(), describe(2000, page(0, QString(3000, 'x'))));
    QCOMPARE(seen.at(1), "2002 highlight 0-1100");
    QVERIFY(seen.size() > 10);
    QCOMPARE(seen.last().section(' ', 1), "highlight 0-2100");
}

void TestContentStream::absurdTimesCostNoMemory()
{
    const ContentStream stream =
        ContentStream::encode({page(1000, "now"), page(Q_INT64_C(4000000000000000000), "never"),
                               wipe(std::numeric_limits<qint64>::max(), 0, 5)});
    QVERIFY(stream.frameCount() > 1'000'000'000);
    quint8 b[2] = {1, 1};
    stream.frameBytes(stream.frameCount(), b);
    QCOMPARE(b[0], quint8(0xFC)); // the far page and its wipe, pinned to one frame
    QCOMPARE(b[1], quint8(5));
    stream.frameBytes(stream.frameCount() + 1, b);
    QCOMPARE(b[0] | b[1], 0);
    stream.frameBytes(std::numeric_limits<qint32>::min(), b);
    QCOMPARE(b[0] | b[1], 0);
}

void TestContentStream::decoderRules_data()
{
    QTest::addColumn<QByteArray>("units");
    QTest::addColumn<QString>("page");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("end");

    QTest::addRow("no header: nothing") << QByteArray::fromHex("4869FC00") << "" << 0 << 0;
    QTest::addRow("unknown version: nothing")
        << QByteArray::fromHex("F7024869FC00") << "" << 0 << 0;
    QTest::addRow("idle before the header")
        << QByteArray::fromHex("00000000F7014869FC00") << "Hi" << 0 << 0;
    QTest::addRow("idle and reserved units inside text")
        << QByteArray::fromHex("F7014800000000056900F600F702FC00") << "Hi" << 0 << 0;
    QTest::addRow("padding byte dropped") << QByteArray::fromHex("F7014800FC00") << "H" << 0 << 0;
    QTest::addRow("highlight clamped to the page")
        << QByteArray::fromHex("F7014869FC00FB77") << "Hi" << 0 << 2;
    QTest::addRow("start past end clamped")
        << QByteArray::fromHex("F7014869FC00C105F801") << "Hi" << 1 << 1;
    QTest::addRow("registers consumed by a command")
        << QByteArray::fromHex("F701" + QByteArray(3000, 'a').toHex() + "FC00C002F801F803")
        << QString(3000, 'a') << 0 << 3;
    QTest::addRow("start register high and low")
        << QByteArray::fromHex("F701" + QByteArray(3000, 'a').toHex() + "FC00F501C102C001F90A")
        << QString(3000, 'a') << 258 << 1024 + 256 + 10;
    QTest::addRow("show with highlight") << QByteArray::fromHex("F7014869FD00") << "Hi" << 0 << 2;
    QTest::addRow("highlight reset by the next page")
        << QByteArray::fromHex("F7014869FC00F8024A6FFC00") << "Jo" << 0 << 0;
    QTest::addRow("malformed UTF-8 becomes replacement characters")
        << QByteArray::fromHex("F7018000FC00F801") << QString(QChar(0xFFFD)) << 0 << 1;
    QTest::addRow("highlight before any page") << QByteArray::fromHex("F701F805") << "" << 0 << 0;
    const QByteArray endless = QByteArray::fromHex("F701") + QByteArray("ab").repeated(100000);
    QTest::addRow("pending page bounded")
        << endless + QByteArray::fromHex("FC00")
        << QString("ab").repeated(100000).left(ContentFormat::maxPageBytes) << 0 << 0;
    QTest::addRow("next page after a bounded one")
        << endless + QByteArray::fromHex("FC006364FC00") << "cd" << 0 << 0;
}

void TestContentStream::decoderRules()
{
    QFETCH(QByteArray, units);
    QFETCH(QString, page);
    QFETCH(int, start);
    QFETCH(int, end);
    ContentStreamDecoder decoder;
    for (int i = 0; i + 1 < units.size(); i += 2)
        decoder.feed(quint8(units[i]), quint8(units[i + 1]));
    QCOMPARE(decoder.page(), page);
    QCOMPARE(decoder.highlightStart(), start);
    QCOMPARE(decoder.highlightEnd(), end);
}

QTEST_GUILESS_MAIN(TestContentStream)
#include "tst_contentstream.moc"
