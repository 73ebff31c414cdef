// The content stream: the bytes a song's lyrics become, when each event reaches a display fed
// frame by frame through the kwo_imcx library, and what the library makes of any bytes.
#include "contenttimeline.h"
#include "kwo_imcx.h"
#include "songlyrics.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using namespace ContentTimeline;

// Also the display: what it is told, one line per call ("7 page "text"", "9 highlight 0-3" at the
// frame whose last byte was fed), and whether anything was beyond what a display can show.
class TestContentStream : public QObject, public IMCXGuiSink
{
    Q_OBJECT

public:
    void showText(const char16_t *text) override
    {
        shown = QString::fromUtf16(text);
        start = end = 0;
        seen << describe(frame, page(0, shown));
        outside |= shown.size() > ContentFormat::maxPageBytes;
    }
    int32_t setHighlight(int32_t from, int32_t length) override
    {
        start = from;
        end = from + length;
        seen << describe(frame, wipe(0, start, end));
        outside |= from < 0 || length < 0 || end > shown.size();
        return end;
    }

private slots:
    void init();
    void cleanup() { IMCX_Flush(); }
    void goldenBytes();
    void delivery_data();
    void delivery();
    void decoderRules_data();
    void decoderRules();
    void flushStartsAFreshSong();
    void anyBytesAreSafe();
    void everyEventOnItsFrame_data();
    void everyEventOnItsFrame();

private:
    static QString describe(qint32 frame, const DisplayEvent &e)
    {
        return e.kind == DisplayEvent::Kind::Page
                   ? QStringLiteral("%1 page \"%2\"").arg(frame).arg(e.page)
                   : QStringLiteral("%1 highlight %2-%3")
                         .arg(frame)
                         .arg(e.highlightStart)
                         .arg(e.highlightEnd);
    }
    // the timeline as a display sees it when every event is on its frame
    static QStringList onTime(const DisplayTimeline &timeline)
    {
        QStringList out;
        for (const DisplayEvent &e : timeline)
            out << describe(FrameTiming::frameForMs(e.ms), e);
        return out;
    }
    // frames 1..frameCount(), two bytes each
    static QByteArray streamBytes(const ContentStream &stream)
    {
        QByteArray out(2 * stream.frameCount(), '\0');
        for (qint32 frame = 1; frame <= stream.frameCount(); ++frame)
            stream.frameBytes(frame, reinterpret_cast<quint8 *>(out.data()) + 2 * frame - 2);
        return out;
    }
    // the first whole millisecond of a frame
    static qint64 at(int frame)
    {
        return std::ceil((frame - 1) * FrameTiming::millisecondsPerFrame);
    }
    // Feeds bytes in calls of chunk bytes; returns the display calls the library says it made.
    int feed(const QByteArray &bytes, int chunk = 2)
    {
        int made = 0;
        for (int i = 0; i < bytes.size(); i += chunk) {
            const int n = int(qMin<qsizetype>(chunk, bytes.size() - i));
            frame = (i + n - 1) / 2 + 1;
            made += IMCX_Decoder(reinterpret_cast<const uint8_t *>(bytes.constData()) + i, n);
        }
        return made;
    }
    // What a display fed with every frame of the stream and 50 more sees.
    QStringList decodeAll(const ContentStream &stream, int chunk = 2)
    {
        const int made = feed(streamBytes(stream) + QByteArray(100, '\0'), chunk);
        return made == seen.size() ? seen : QStringList{"calls miscounted"};
    }

    QString shown;
    int start = 0, end = 0, frame = 0;
    QStringList seen;
    bool outside = false;
};

void TestContentStream::init()
{
    shown.clear();
    start = end = 0;
    seen.clear();
    outside = false;
    IMCX_InitDecoder("");
    IMCX_InitGUI(this);
}

void TestContentStream::goldenBytes()
{
    const DisplayTimeline timeline{page(100, "Hi!"), wipe(200, 2), wipe(400, 1, 3), page(600, "é"),
                                   wipe(600, 1, 1)};
    const ContentStream stream = ContentStream::encode(timeline);
    const QByteArray expected = QByteArray::fromHex(
        "F701 4869 2100 FC00" // 1: header, version 1; "Hi!" and padding; 4 (100 ms): show
        "C3A9 0000 0000"      // 5: "é", the next page
        "F802 C101"           // 8 (200 ms): [0, 2); 9: start 1, ahead of time
        "0000 0000 0000 0000 0000 0000 F803 C101" // 16 (400 ms): [1, 3); 17: start 1
        "0000 0000 0000 0000 0000 FC01");         // 23 (600 ms): show, [1, 1)
    QCOMPARE(streamBytes(stream).toHex(' '), expected.toHex(' '));
    // Fed a byte at a time, the display sees every event on its frame, frame 23 making two calls.
    QCOMPARE(decodeAll(stream, 1), onTime(timeline));
    // The frame playing at a moment: frame 1 holds 0..26.12 ms, and five minutes do not drift.
    QVERIFY(FrameTiming::frameForMs(26) == 1 && FrameTiming::frameForMs(27) == 2);
    QCOMPARE(FrameTiming::frameForMs(300000), 11485);
}

void TestContentStream::delivery_data()
{
    // What a display fed with the stream's frames sees: every event on its own frame while the
    // rate of two bytes a frame keeps up; otherwise each takes effect as early as the stream
    // allows, and only what is still current by then is seen.
    QTest::addColumn<DisplayTimeline>("timeline");
    QTest::addColumn<QStringList>("expected");
    QString wide;
    for (int i = 0; i < 15; ++i)
        wide += QString(99, QChar('a' + i)) + "\n";
    const DisplayTimeline far{page(25000, wide), wipe(25100, 1200), wipe(25200, 300, 1400),
                              wipe(25300, 1500), wipe(25400, 7)};
    QTest::addRow("positions beyond 1023 and a highlight not starting at 0") << far << onTime(far);
    // the last word and the next page in one frame: the page is not pushed back by a wipe
    // nobody would see
    QTest::addRow("page hides the wipes of its frame")
        << DisplayTimeline{page(1000, "ab"), wipe(2000, 1), wipe(2990, 2), page(3000, "cd"),
                           wipe(3003, 1)}
        << QStringList{"39 page \"ab\"", "77 highlight 0-1", "115 page \"cd\"",
                       "115 highlight 0-1"};
    // a word on every frame from 41, the next page (10 text frames) wanted at 45: words keep
    // their frames, the text goes out in 45..54, the page shows at 55 with the wipe due then
    DisplayTimeline words{page(at(40), "w")};
    QStringList wordsSeen{"40 page \"w\""};
    for (int i = 41; i <= 60; ++i) {
        words << (i == 45 ? page(at(i), QString(20, 'x')) : wipe(at(i), i < 45 ? 1 : i - 40));
        if (i == 55)
            wordsSeen << describe(55, words[5]);
        if (i < 45 || i >= 55)
            wordsSeen << describe(i, wipe(0, i < 45 ? 1 : i - 40));
    }
    QTest::addRow("due words delay the next page only by their frames") << words << wordsSeen;
    // 6000 bytes of UTF-8 cut at a character boundary to 4095 (2048 text frames), the wipe
    // clamped to what was sent
    const QString huge = QString::fromUtf8("あ").repeated(2000);
    QTest::addRow("long page cut at a character boundary")
        << DisplayTimeline{page(0, huge), wipe(100000, 2000)}
        << QStringList{describe(2050, page(0, huge.left(1365))), "3829 highlight 0-1365"};
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

void TestContentStream::decoderRules_data()
{
    // Streams our encoder never makes: what the display shows after them.
    QTest::addColumn<QByteArray>("units");
    QTest::addColumn<QString>("expected"); // the page, then the highlight
    QTest::addRow("no header: nothing") << QByteArray::fromHex("4869FC00") << " 0-0";
    QTest::addRow("idle and reserved units inside text")
        << QByteArray::fromHex("0000F7014800000000056900F600F702FC00") << "Hi 0-0";
    QTest::addRow("highlight clamped to the page")
        << QByteArray::fromHex("F7014869FC00FB77") << "Hi 0-2";
    QTest::addRow("malformed UTF-8 becomes replacement characters")
        << QByteArray::fromHex("F7018000FC00F801") << QStringLiteral("\uFFFD 0-1");
    const QByteArray endless = QByteArray::fromHex("F701") + QByteArray("ab").repeated(100000);
    QTest::addRow("pending page bounded")
        << endless + QByteArray::fromHex("FC00")
        << QString("ab").repeated(ContentFormat::maxPageBytes / 2) + " 0-0";
}

void TestContentStream::decoderRules()
{
    QFETCH(QByteArray, units);
    QFETCH(QString, expected);
    feed(units);
    QCOMPARE(QStringLiteral("%1 %2-%3").arg(shown).arg(start).arg(end), expected);
}

void TestContentStream::flushStartsAFreshSong()
{
    // Half a page of text and an odd byte, then a new song: nothing of the old one may leak into
    // its page. After a flush the display is forgotten until it is given again.
    const QByteArray old = streamBytes(ContentStream::encode({page(500, "old song")}));
    feed(old.left(9), 9);
    IMCX_Flush();
    QCOMPARE(feed(old.mid(9)), 0);
    init();
    feed(streamBytes(ContentStream::encode({page(100, "new")})));
    QCOMPARE(seen, QStringList{"4 page \"new\""});
    QVERIFY(!IMCX_InitDecoder(nullptr) && !IMCX_InitGUI(nullptr) && !IMCX_Decoder(nullptr, 2));
}

void TestContentStream::anyBytesAreSafe()
{
    // Random streams, mostly commands and register units so that ranges get stressed; and a
    // real song's stream truncated anywhere with bits flipped.
    DisplayTimeline timeline;
    for (int p = 0; p < 6; ++p) {
        timeline << page(4000 * p, QString::fromUtf8("ligne %1 ✓ 日本語\nzweite Zeile").arg(p));
        for (int w = 1; w < 20; ++w)
            timeline << wipe(4000 * p + 150 * w, w);
    }
    const QByteArray good = streamBytes(ContentStream::encode(timeline));
    QRandomGenerator random(42);
    for (int round = 0; round < 600; ++round) {
        QByteArray bytes = good.left(int(random.bounded(good.size() + 1)));
        for (int i = int(random.bounded(1, 40)); i > 0 && !bytes.isEmpty(); --i)
            bytes[int(random.bounded(bytes.size()))] ^= char(1 << random.bounded(8));
        for (int i = round % 2 ? int(random.bounded(1, 12000)) : 0; i > 0; --i) {
            const quint32 r = random.generate();
            bytes.append(char(r % 3 == 0 ? 0xC0 + (r >> 8) % 64 : r >> 16));
        }
        init();
        feed(bytes, 1 + round % 3);
        QVERIFY2(!outside, qPrintable(QStringLiteral("round %1").arg(round)));
    }
}

void TestContentStream::everyEventOnItsFrame_data()
{
    // A song's lyrics as an LRC file beside it. The stream alone brings the first page late (its
    // text follows the header) and, when words come faster than two bytes a frame carry their
    // pages, falls behind; the library, which reads the song's lyrics when it opens, shows what
    // the stream brings late on its own frame.
    QTest::addColumn<QByteArray>("lrc");
    QTest::addColumn<int>("streamLateAtMost"); // frames, the stream alone
    QTest::addRow("first word sung at 0.5 s")
        << QByteArray("[00:00.50]<00:00.50>Sing <00:00.90>now <00:01.30>\n"
                      "[00:01.40]<00:01.40>the <00:01.80>end <00:02.20>\n")
        << 40;
    QByteArray fast; // 48 lines of 56 bytes, one every 0.4 s: a page of text every 1.6 s needs 2.9 s
    for (int line = 0; line < 48; ++line) {
        const int ms = 400 * line;
        fast += QStringLiteral("[%1:%2.%3]").arg(ms / 60000, 2, 10, QChar('0'))
                    .arg(ms / 1000 % 60, 2, 10, QChar('0')).arg(ms % 1000 / 10, 2, 10, QChar('0'))
                    .toUtf8() +
                QByteArray("quick words ").repeated(4) + QByteArray::number(line).rightJustified(8) +
                "\n";
    }
    QTest::addRow("words faster than the stream") << fast << 3 * 56 * 4 / 2;
}

void TestContentStream::everyEventOnItsFrame()
{
    QFETCH(QByteArray, lrc);
    QFETCH(int, streamLateAtMost);
    QTemporaryDir dir;
    QFile sidecar(dir.filePath("song.lrc"));
    QVERIFY(sidecar.open(QIODevice::WriteOnly) && sidecar.write(lrc) == lrc.size());
    sidecar.close();
    const QByteArray song = QFile::encodeName(dir.filePath("song.mp3"));
    const DisplayTimeline timeline = SongLyrics::forSong(dir.filePath("song.mp3")).timeline();
    const ContentStream stream = ContentStream::encode(timeline);
    const QByteArray bytes = streamBytes(stream) + QByteArray(100, '\0');

    // What the display must show at every frame: every event due by then applied in order.
    QVERIFY(IMCX_InitDecoder(song.constData()));
    DisplayEvent due{DisplayEvent::Kind::Page, 0, QString()};
    int event = 0;
    for (frame = 1; 2 * frame <= bytes.size(); ++frame) {
        IMCX_Decoder(reinterpret_cast<const uint8_t *>(bytes.constData()) + 2 * frame - 2, 2);
        for (; event < timeline.size() && FrameTiming::frameForMs(timeline[event].ms) <= frame;
             ++event) {
            const DisplayEvent &e = timeline[event];
            if (e.kind == DisplayEvent::Kind::Page)
                due.page = e.page, due.highlightStart = due.highlightEnd = 0;
            else
                due.highlightStart = e.highlightStart, due.highlightEnd = e.highlightEnd;
        }
        QCOMPARE(QStringLiteral("%1: %2 %3-%4").arg(frame).arg(shown).arg(start).arg(end),
                 QStringLiteral("%1: %2 %3-%4")
                     .arg(frame)
                     .arg(due.page)
                     .arg(due.highlightStart)
                     .arg(due.highlightEnd));
    }
    // The stream alone: late, but by a bounded number of frames, however long the song.
    int late = 0;
    for (const ContentStream::ScheduledEvent &s : stream.events())
        late = s.superseded ? late : std::max(late, s.lateBy());
    QVERIFY2(late > 0 && late <= streamLateAtMost, qPrintable(QStringLiteral("%1 late").arg(late)));
}

QTEST_GUILESS_MAIN(TestContentStream)
#include "tst_contentstream.moc"
