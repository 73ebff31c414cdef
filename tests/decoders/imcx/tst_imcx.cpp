#include "contenttimeline.h"
#include "kwo_imcx.h"

#include <QDir>
#include <QRandomGenerator>
#include <QTest>

using namespace ContentTimeline;

namespace {

// Records what the library reports and checks that every page and highlight is one a display
// can show.
class RecordingSink : public IMCXGuiSink
{
public:
    void showText(const char16_t *text) override
    {
        page = QString::fromUtf16(text);
        calls << QStringLiteral("page \"%1\"").arg(page);
        outside |= page.size() > ContentFormat::maxPageBytes;
    }
    int32_t setHighlight(int32_t start, int32_t length) override
    {
        calls << QStringLiteral("highlight %1+%2").arg(start).arg(length);
        outside |= start < 0 || length < 0 || start + length > page.size();
        return start + length;
    }

    QString page;
    QStringList calls;
    bool outside = false;
};

const uint8_t *data(const QByteArray &bytes)
{
    return reinterpret_cast<const uint8_t *>(bytes.constData());
}

} // namespace

class TestImcx : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup() { IMCX_Flush(); }
    void pageAndHighlightInOneCall();
    void callSplitsDoNotMatter_data();
    void callSplitsDoNotMatter();
    void flushStartsAFreshStream();
    void badArgumentsAreIgnored();
    void anyBytesAreSafe_data();
    void anyBytesAreSafe();

private:
    RecordingSink sink;
};

void TestImcx::init()
{
    sink = RecordingSink();
    IMCX_InitDecoder("");
    IMCX_InitGUI(&sink);
}

void TestImcx::pageAndHighlightInOneCall()
{
    // A wipe falling due with its page travels in the page's own frame: one call, two callbacks.
    const QByteArray frames =
        streamBytes(ContentStream::encode({page(1000, "Ab\ncd"), wipe(1001, 2), wipe(2000, 5)}));
    QStringList perCall;
    for (int i = 0; i < frames.size(); i += 2) {
        const int before = int(sink.calls.size());
        const int32_t made = IMCX_Decoder(data(frames) + i, 2);
        QCOMPARE(made, int32_t(sink.calls.size() - before));
        if (made)
            perCall << sink.calls.mid(before).join(" / ");
    }
    QCOMPARE(perCall, (QStringList{"page \"Ab\ncd\" / highlight 0+2", "highlight 0+5"}));
}

void TestImcx::callSplitsDoNotMatter_data()
{
    QTest::addColumn<int>("chunk");
    QTest::addRow("one byte at a time") << 1;
    QTest::addRow("three bytes at a time") << 3;
    QTest::addRow("odd and even mixed") << 7;
    QTest::addRow("everything at once") << 100000;
}

void TestImcx::callSplitsDoNotMatter()
{
    QFETCH(int, chunk);
    const QByteArray frames =
        streamBytes(ContentStream::encode({page(500, QString::fromUtf8("Ünïcödé 歌")), wipe(900, 3),
                                           page(2000, "next"), wipe(2100, 4)}));
    for (int i = 0; i < frames.size(); i += chunk)
        IMCX_Decoder(data(frames) + i, int32_t(std::min<qsizetype>(chunk, frames.size() - i)));
    QCOMPARE(sink.calls, (QStringList{QString::fromUtf8("page \"Ünïcödé 歌\""), "highlight 0+3",
                                      "page \"next\"", "highlight 0+4"}));
}

void TestImcx::flushStartsAFreshStream()
{
    // Half a page of text, then a new song: nothing of the old text may leak into its page.
    const QByteArray frames = streamBytes(ContentStream::encode({page(3000, "old song text")}));
    IMCX_Decoder(data(frames), 8);
    IMCX_Flush();
    IMCX_Decoder(data(frames) + 8, int32_t(frames.size() - 8));
    QVERIFY(sink.calls.isEmpty()); // the sink was forgotten

    const QByteArray fresh = streamBytes(ContentStream::encode({page(100, "new")}));
    for (int round = 0; round < 2; ++round) {
        IMCX_InitDecoder("");
        IMCX_InitGUI(&sink);
        IMCX_Decoder(data(fresh), round ? int32_t(fresh.size()) : 3);
        IMCX_Flush(); // an odd byte left over must not survive a flush either
    }
    QCOMPARE(sink.calls, QStringList{"page \"new\""});
}

void TestImcx::badArgumentsAreIgnored()
{
    for (const QByteArray &path :
         {QByteArray(), QByteArray("no such song.mp3"), QFile::encodeName(QDir::currentPath())})
        QCOMPARE(IMCX_InitDecoder(path.constData()), 0); // no lyrics without a song
    QCOMPARE(IMCX_InitDecoder(nullptr), 0);
    const uint8_t bytes[2] = {0xF7, 0x01};
    QCOMPARE(IMCX_Decoder(nullptr, 2), 0);
    QCOMPARE(IMCX_Decoder(bytes, 0), 0);
    QCOMPARE(IMCX_Decoder(bytes, -5), 0);
    QCOMPARE(IMCX_InitGUI(nullptr), 0);
    const QByteArray frames = streamBytes(ContentStream::encode({page(100, "x")}));
    QCOMPARE(IMCX_Decoder(data(frames), int32_t(frames.size())), 0); // no sink: no calls
    QCOMPARE(sink.page, QString());
}

void TestImcx::anyBytesAreSafe_data()
{
    // Random streams, mostly commands and register units so that ranges get stressed; and a
    // real song's stream truncated anywhere with bits flipped.
    QTest::addColumn<bool>("damaged");
    QTest::addRow("random") << false;
    QTest::addRow("truncated and damaged") << true;
}

void TestImcx::anyBytesAreSafe()
{
    QFETCH(bool, damaged);
    DisplayTimeline timeline;
    for (int p = 0; p < 6; ++p) {
        timeline << page(4000 * p, QString::fromUtf8("ligne %1 ✓ 日本語\nzweite Zeile").arg(p));
        for (int w = 1; w < 20; ++w)
            timeline << wipe(4000 * p + 150 * w, w);
    }
    const QByteArray good = streamBytes(ContentStream::encode(timeline));
    QRandomGenerator random(damaged ? 42 : 4);
    for (int round = 0; round < 300; ++round) {
        QByteArray bytes = QByteArray::fromHex("F701");
        if (damaged) {
            bytes = good.left(int(random.bounded(good.size() + 1)));
            for (int i = int(random.bounded(1, 40)); i > 0 && !bytes.isEmpty(); --i)
                bytes[int(random.bounded(bytes.size()))] ^= char(1 << random.bounded(8));
        } else {
            for (int i = int(random.bounded(1, 12000)); i > 0; --i) {
                const quint32 r = random.generate();
                bytes.append(char(r % 3 == 0 ? 0xC0 + (r >> 8) % 64 : r >> 16));
            }
        }
        init();
        for (int i = 0; i < bytes.size(); i += 2)
            IMCX_Decoder(data(bytes) + i, int32_t(std::min<qsizetype>(2, bytes.size() - i)));
        IMCX_Flush();
        QVERIFY2(!sink.outside, qPrintable(QStringLiteral("round %1").arg(round)));
    }
}

QTEST_GUILESS_MAIN(TestImcx)
#include "tst_imcx.moc"
