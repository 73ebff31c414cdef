#include "contentformat.h"
#include "contentstream.h"
#include "contentstreamdecoder.h"
#include "contenttimeline.h"

#include <QRandomGenerator>
#include <QTest>

using namespace ContentTimeline;

namespace {

QString describe(qint32 frame, const DisplayEvent &e)
{
    if (e.kind == DisplayEvent::Kind::Page)
        return QStringLiteral("%1 page \"%2\"").arg(frame).arg(e.page);
    return QStringLiteral("%1 highlight %2-%3")
        .arg(frame)
        .arg(e.highlightStart)
        .arg(e.highlightEnd);
}

// What a display fed with frames 1..last sees, one line per change.
QStringList decodeFrames(const ContentStream &stream, qint32 last)
{
    ContentStreamDecoder decoder;
    QStringList seen;
    for (qint32 frame = 1; frame <= last; ++frame) {
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

QStringList decodeAll(const ContentStream &stream)
{
    return decodeFrames(stream, stream.frameCount() + 50);
}

// The timeline as a display should see it when every event is on time.
QStringList onTime(const DisplayTimeline &timeline)
{
    QStringList expected;
    for (const DisplayEvent &e : timeline)
        expected << describe(ContentFormat::frameForMs(e.ms), e);
    return expected;
}

// Feeds bytes as frames and checks after every unit what any display relies on.
void feedChecked(const QByteArray &bytes)
{
    ContentStreamDecoder decoder;
    for (int i = 0; i + 1 < bytes.size(); i += 2) {
        decoder.feed(quint8(bytes[i]), quint8(bytes[i + 1]));
        QVERIFY(decoder.page().size() <= ContentFormat::maxPageBytes);
        QVERIFY(0 <= decoder.highlightStart());
        QVERIFY(decoder.highlightStart() <= decoder.highlightEnd());
        QVERIFY(decoder.highlightEnd() <= decoder.page().size());
    }
}

} // namespace

class TestContentStream : public QObject
{
    Q_OBJECT

private slots:
    void frameOfTime_data();
    void frameOfTime();
    void roundTrip_data();
    void roundTrip();
    void goldenBytes();
    void firstPageArrivesAsSoonAsItsTextIsThrough();
    void pagesTooLongForTheirGapArriveBackToBack();
    void crowdedHighlightsMergeIntoTheLast();
    void pageHidesTheWipesOfItsFrame();
    void dueWordsDelayTheNextPageOnlyByTheirFrames();
    void absurdTimesCostNoMemory();
    void aFloodOfWipesCollapses();
    void wipesNeedingRegistersEveryFrameKeepMoving();
    void longPageIsCutAtACharacterBoundary();
    void decoderRules_data();
    void decoderRules();
    void pendingPageIsBounded();
    void randomStreamsAreSafe();
    void damagedStreamsAreSafe();
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
    QCOMPARE(ContentFormat::frameForMs(ms), frame);
}

void TestContentStream::roundTrip_data()
{
    QTest::addColumn<DisplayTimeline>("timeline");

    QTest::addRow("one page, line wipes")
        << DisplayTimeline{page(3000, "Hello\nworld"), wipe(3500, 0, 5), wipe(4200, 0, 11)};
    QTest::addRow("next page sent while the first is sung")
        << DisplayTimeline{page(2000, "First line\nsecond line"),
                           wipe(2100, 0, 10),
                           wipe(2600, 0, 22),
                           page(6000, "Third line, and it is a rather long one\nfourth line"),
                           wipe(6100, 0, 39),
                           wipe(7000, 0, 51)};
    QTest::addRow("page and its first wipe in one frame")
        << DisplayTimeline{page(1500, "Go"), wipe(1510, 0, 2)};
    QTest::addRow("non-Latin text, positions in UTF-16 units")
        << DisplayTimeline{page(2500, QString::fromUtf8("夜に駆ける\n🎤 Ωμέγα\nÄÖÜ")),
                           wipe(2600, 0, 5), wipe(3000, 0, 13), wipe(3300, 0, 17)};
    QTest::addRow("instrumental break: an empty page") << DisplayTimeline{
        page(1000, "la la"), wipe(1200, 0, 5), page(4000, ""), page(6000, "back")};
    QString wide;
    for (int i = 0; i < 15; ++i)
        wide += QString(99, QChar('a' + i)) + "\n";
    QTest::addRow("positions beyond 1023 and a highlight not starting at 0")
        << DisplayTimeline{page(25000, wide), wipe(25100, 0, 1200), wipe(25200, 300, 1400),
                           wipe(25300, 0, 1500), wipe(25400, 0, 7)};
    DisplayTimeline words{page(2000, "one two three four five six seven eight nine ten")};
    for (int w = 0; w < 10; ++w)
        words << wipe(2100 + w * 80, 0, 3 + w * 4); // a word every three frames
    words << page(3500, "next");
    QTest::addRow("word stamps every three frames") << words;
}

void TestContentStream::roundTrip()
{
    QFETCH(DisplayTimeline, timeline);
    const ContentStream stream = ContentStream::encode(timeline);
    QCOMPARE(decodeAll(stream), onTime(timeline));
    for (const ContentStream::ScheduledEvent &s : stream.events())
        QCOMPARE(s.lateBy(), 0);
}

void TestContentStream::goldenBytes()
{
    const DisplayTimeline timeline{page(100, "Hi!"), wipe(200, 0, 2), wipe(400, 1, 3),
                                   page(600, "é"), wipe(600, 1, 1)};
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

void TestContentStream::firstPageArrivesAsSoonAsItsTextIsThrough()
{
    // Frame 1 is the header, frames 2..6 carry ten bytes of text: the page shows at frame 7,
    // with the wipes that fell due meanwhile merged into its unit.
    const ContentStream stream = ContentStream::encode(
        {page(0, "abcdefghij"), wipe(60, 0, 3), wipe(140, 0, 6), wipe(400, 0, 10)});
    QCOMPARE(
        decodeAll(stream),
        (QStringList{"7 page \"abcdefghij\"", "7 highlight 0-6",
                     QStringLiteral("%1 highlight 0-10").arg(ContentFormat::frameForMs(400))}));
    const auto &events = stream.events();
    QCOMPARE(events[0].lateBy(), 6);
    QCOMPARE(events[1].frame, 7);
    QVERIFY(events[1].superseded);
    QCOMPARE(events[2].frame, 7);
    QVERIFY(!events[2].superseded);
    QCOMPARE(events[3].lateBy(), 0);
}

void TestContentStream::pagesTooLongForTheirGapArriveBackToBack()
{
    // Pages of 40, 41 and 2 bytes wanted one frame apart: each waits for its own text, which
    // may only start once the page before it shows: 20, 21 and 1 text frames plus the show.
    const QString a(40, 'a'), b(41, 'b'), c = "cc";
    const ContentStream stream = ContentStream::encode({page(0, a), page(30, b), page(60, c)});
    const int first = 1 + 20 + 1, second = first + 21 + 1, third = second + 1 + 1;
    QCOMPARE(decodeAll(stream),
             (QStringList{describe(first, page(0, a)), describe(second, page(0, b)),
                          describe(third, page(0, c))}));
    QCOMPARE(stream.events()[2].lateBy(), third - 3);
}

void TestContentStream::crowdedHighlightsMergeIntoTheLast()
{
    // Three wipes within one frame: the display can only show the last.
    const ContentStream stream = ContentStream::encode(
        {page(1000, "abc"), wipe(2000, 0, 1), wipe(2005, 0, 2), wipe(2010, 0, 3)});
    const qint32 f = ContentFormat::frameForMs(2000);
    QCOMPARE(decodeAll(stream),
             (QStringList{describe(ContentFormat::frameForMs(1000), page(0, "abc")),
                          describe(f, wipe(0, 0, 3))}));
    QCOMPARE(stream.events()[1].frame, f);
    QVERIFY(stream.events()[1].superseded && stream.events()[2].superseded);
    QVERIFY(!stream.events()[3].superseded);
}

void TestContentStream::pageHidesTheWipesOfItsFrame()
{
    // The last word's wipe and the next page a few ms apart: one frame, and the page wins,
    // so the page is not pushed to the next frame by a wipe nobody would see.
    const qint32 f = ContentFormat::frameForMs(2990);
    QCOMPARE(ContentFormat::frameForMs(3003), f);
    const ContentStream stream = ContentStream::encode(
        {page(1000, "ab"), wipe(2000, 0, 1), wipe(2990, 0, 2), page(3000, "cd"), wipe(3003, 0, 1)});
    QCOMPARE(decodeAll(stream),
             (QStringList{describe(ContentFormat::frameForMs(1000), page(0, "ab")),
                          describe(ContentFormat::frameForMs(2000), wipe(0, 0, 1)),
                          describe(f, page(0, "cd")), describe(f, wipe(0, 0, 1))}));
    QVERIFY(stream.events()[2].superseded);
    QCOMPARE(stream.events()[2].frame, f);
    QVERIFY(!stream.events()[3].superseded && !stream.events()[4].superseded);
}

void TestContentStream::dueWordsDelayTheNextPageOnlyByTheirFrames()
{
    // A word on every frame from frame 41 while the next page (20 bytes: 10 text frames) is
    // wanted at frame 45. Words keep their frames, so the text goes out in frames 45..54 and
    // the page, carrying the wipe due by then, shows at frame 55.
    const double frameMs = 26.12245;
    auto at = [&](int frame) { return qint64(std::ceil((frame - 1) * frameMs)); };
    DisplayTimeline timeline{page(at(40), "w")};
    for (int f = 41; f <= 44; ++f)
        timeline << wipe(at(f), 0, 1);
    timeline << page(at(45), QString(20, 'x'));
    for (int f = 46; f <= 60; ++f)
        timeline << wipe(at(f), 0, f - 40);
    const ContentStream stream = ContentStream::encode(timeline);
    const QStringList seen = decodeAll(stream);
    QCOMPARE(seen.mid(0, 5), (QStringList{"40 page \"w\"", "41 highlight 0-1", "42 highlight 0-1",
                                          "43 highlight 0-1", "44 highlight 0-1"}));
    QCOMPARE(seen.mid(5),
             (QStringList{describe(55, page(0, QString(20, 'x'))), "55 highlight 0-15",
                          "56 highlight 0-16", "57 highlight 0-17", "58 highlight 0-18",
                          "59 highlight 0-19", "60 highlight 0-20"}));
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

void TestContentStream::aFloodOfWipesCollapses()
{
    // A hostile file: 100 000 word stamps within the first second, behind a page whose text
    // takes 2000 frames. Scheduling stays linear; the page comes with the last wipe, after the
    // header, the text and one end-register unit (the wipe ends at 4000).
    DisplayTimeline timeline{page(0, QString(4000, 'x'))};
    for (int i = 0; i < 100000; ++i)
        timeline << wipe(i / 100, 0, i % 4000 + 1);
    const ContentStream stream = ContentStream::encode(timeline);
    QCOMPARE(decodeAll(stream), (QStringList{describe(2003, page(0, QString(4000, 'x'))),
                                             describe(2003, wipe(0, 0, 99999 % 4000 + 1))}));
}

void TestContentStream::wipesNeedingRegistersEveryFrameKeepMoving()
{
    // Wipes on every frame whose ends need a different end register each time: no frame is
    // free for the register units, so each wipe is late, but each one that goes out is the
    // newest due and the first goes out after a single register unit.
    const double frameMs = 26.12245;
    auto at = [&](int frame) { return qint64(std::ceil((frame - 1) * frameMs)); };
    DisplayTimeline timeline{page(at(2000), QString(3000, 'x'))};
    for (int f = 2001; f <= 2040; ++f)
        timeline << wipe(at(f), 0, f % 2 ? 1100 : 2100);
    const QStringList seen = decodeAll(ContentStream::encode(timeline));
    QCOMPARE(seen.first(), describe(2000, page(0, QString(3000, 'x'))));
    QCOMPARE(seen.at(1), "2002 highlight 0-1100");
    QVERIFY(seen.size() > 10);
    QCOMPARE(seen.last().section(' ', 1), "highlight 0-2100");
}

void TestContentStream::longPageIsCutAtACharacterBoundary()
{
    const QString huge = QString::fromUtf8("あ").repeated(2000); // 6000 bytes of UTF-8
    const ContentStream stream = ContentStream::encode({page(0, huge), wipe(100000, 0, 2000)});
    const QString sent = huge.left(ContentFormat::maxPageBytes / 3);
    QCOMPARE(stream.events()[0].event.page, sent);
    QCOMPARE(stream.events()[1].event.highlightEnd, sent.size());
    QCOMPARE(decodeAll(stream).last(),
             describe(ContentFormat::frameForMs(100000), wipe(0, 0, int(sent.size()))));
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

void TestContentStream::pendingPageIsBounded()
{
    ContentStreamDecoder decoder;
    decoder.feed(0xF7, 0x01);
    for (int i = 0; i < 100000; ++i)
        decoder.feed('a', 'b');
    decoder.feed(0xFC, 0x00);
    QCOMPARE(decoder.page().size(), ContentFormat::maxPageBytes);
    decoder.feed('c', 'd');
    decoder.feed(0xFC, 0x00);
    QCOMPARE(decoder.page(), QStringLiteral("cd"));
}

void TestContentStream::randomStreamsAreSafe()
{
    QRandomGenerator random(20261206);
    for (int round = 0; round < 300; ++round) {
        QByteArray bytes = QByteArray::fromHex("F701");
        const int size = int(random.bounded(2, 12000));
        for (int i = 0; i < size; ++i) {
            // Mostly commands and register units, so that ranges get stressed, some text.
            const quint32 r = random.generate();
            bytes.append(char(r % 3 == 0 ? 0xC0 + (r >> 8) % 64 : r >> 16));
        }
        feedChecked(bytes);
        if (QTest::currentTestFailed())
            QFAIL(qPrintable(QStringLiteral("round %1").arg(round)));
    }
}

void TestContentStream::damagedStreamsAreSafe()
{
    DisplayTimeline timeline;
    for (int p = 0; p < 6; ++p) {
        timeline << page(4000 * p, QString::fromUtf8("ligne %1 ✓ 日本語\nzweite Zeile").arg(p));
        for (int w = 1; w < 20; ++w)
            timeline << wipe(4000 * p + 150 * w, 0, w);
    }
    const QByteArray good = streamBytes(ContentStream::encode(timeline));
    QRandomGenerator random(42);
    for (int round = 0; round < 200; ++round) {
        QByteArray bytes = good.left(int(random.bounded(good.size() + 1)));
        const int flips = int(random.bounded(1, 40));
        for (int i = 0; i < flips && !bytes.isEmpty(); ++i)
            bytes[int(random.bounded(bytes.size()))] ^= char(1 << random.bounded(8));
        feedChecked(bytes);
        if (QTest::currentTestFailed())
            QFAIL(qPrintable(QStringLiteral("round %1").arg(round)));
    }
}

QTEST_GUILESS_MAIN(TestContentStream)
#include "tst_contentstream.moc"
