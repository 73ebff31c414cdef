// The lyrics display, judged on the pixels of the picture it shows, with the default colours
// (white text, red highlight, black background) and whatever font "Arial" resolves to here.

#include "lyricsdata.h"
#include "lyricslabel.h"
#include "preferences.h"

#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

const auto isHighlight = [](QRgb p) { return qRed(p) > 150 && qGreen(p) < 60 && qBlue(p) < 60; };
const auto isNormal = [](QRgb p) { return qRed(p) > 150 && qGreen(p) > 150 && qBlue(p) > 150; };
const auto isInk = [](QRgb p) { return isHighlight(p) || isNormal(p); };

// Where pixels of one kind lie: the rows they occupy, and their leftmost and rightmost column.
struct Extent
{
    QList<int> rows;
    int left = INT_MAX;
    int right = -1;
};

Extent extentOf(const QImage &image, bool (*kind)(QRgb), int fromRow = 0)
{
    Extent extent;
    for (int y = fromRow; y < image.height(); ++y) {
        bool inRow = false;
        for (int x = 0; x < image.width(); ++x) {
            if (kind(image.pixel(x, y))) {
                inRow = true;
                extent.left = qMin(extent.left, x);
                extent.right = qMax(extent.right, x);
            }
        }
        if (inRow)
            extent.rows << y;
    }
    return extent;
}

// Heights of the bands of rows holding ink, separated by rows without: one per drawn line.
QList<int> bandHeights(const QImage &image)
{
    QList<int> heights;
    int previous = -2;
    for (int row : extentOf(image, isInk).rows) {
        if (row != previous + 1)
            heights << 0;
        ++heights.last();
        previous = row;
    }
    return heights;
}

} // namespace

class LyricsLabelTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void highlightEndingInsideALineSplitsItOnOneBaseline_data();
    void highlightEndingInsideALineSplitsItOnOneBaseline();
    void tooWideLineBreaksWhereTheLastFittingPartEnds_data();
    void tooWideLineBreaksWhereTheLastFittingPartEnds();
    void tooTallPageShrinks();
    void noDataGivesAPlainBackgroundOfTheLabelsSize();

private:
    QImage render(QSize contents, const QString &text, int highlightStart = 0,
                  int highlightEnd = 0);

    QTemporaryDir home;
    std::unique_ptr<LyricsLabel> label;
};

void LyricsLabelTest::initTestCase()
{
    QVERIFY(home.isValid());
    QVERIFY(SingleInstance<Preferences>::createClassMutex());
    QVERIFY(Preferences::Instance(home.filePath(QStringLiteral("VantrelKivo.preferences"))));
    label = std::make_unique<LyricsLabel>();
}

void LyricsLabelTest::cleanupTestCase()
{
    label.reset();
    SingleInstance<Preferences>::destroy();
}

// The picture of one page drawn in an area of the given size inside the label's frame.
QImage LyricsLabelTest::render(QSize contents, const QString &text, int highlightStart,
                               int highlightEnd)
{
    const int frame = label->frameWidth();
    label->resize(contents + QSize(2 * frame, 2 * frame));
    LyricsData page(text, highlightStart, highlightEnd);
    label->ScreenRedraw(&page);
    const QImage picture = label->pixmap().toImage().convertToFormat(QImage::Format_RGB32);
    label->ScreenRedraw(nullptr);
    return picture;
}

void LyricsLabelTest::highlightEndingInsideALineSplitsItOnOneBaseline_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("highlightStart");
    QTest::addColumn<int>("highlightEnd");
    QTest::addRow("wiped from the page's start") << QStringLiteral("HHHH NNNN") << 0 << 4;
    QTest::addRow("wiped from a later line's start") << QStringLiteral("NNNN\nHHHH NNNN") << 5 << 9;
}

void LyricsLabelTest::highlightEndingInsideALineSplitsItOnOneBaseline()
{
    QFETCH(QString, text);
    QFETCH(int, highlightStart);
    QFETCH(int, highlightEnd);
    const QImage picture = render({500, 250}, text, highlightStart, highlightEnd);
    const Extent highlighted = extentOf(picture, isHighlight);
    QVERIFY(!highlighted.rows.isEmpty());
    const Extent normal = extentOf(picture, isNormal, highlighted.rows.first());
    QVERIFY(!normal.rows.isEmpty());
    QVERIFY2(highlighted.right < normal.left, "the highlighted part lies left of the rest");
    // H and N have flat tops and bottoms: the same rows mean the same baseline and size.
    QCOMPARE(normal.rows, highlighted.rows);
}

void LyricsLabelTest::tooWideLineBreaksWhereTheLastFittingPartEnds_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("brokenByHand");
    QTest::addRow("Latin, at the last space")
        << QStringLiteral("AAAA BBBB CCCC") << QStringLiteral("AAAA BBBB\nCCCC");
    QTest::addRow("CJK without spaces, between ideographs")
        << QStringLiteral("春夏秋冬春夏秋冬春夏秋冬")
        << QStringLiteral("春夏秋冬春夏秋冬\n春夏秋冬");
}

// An area just wide enough for the first line broken by hand: the page must come out exactly as
// that hand-broken page, neither broken elsewhere nor shrunk.
void LyricsLabelTest::tooWideLineBreaksWhereTheLastFittingPartEnds()
{
    QFETCH(QString, text);
    QFETCH(QString, brokenByHand);
    const QFontMetrics metrics(Preferences::Instance()->lyricsFont());
    const QSize area(metrics.horizontalAdvance(brokenByHand.section(QLatin1Char('\n'), 0, 0)) + 2,
                     250);
    QVERIFY(metrics.horizontalAdvance(text) > area.width());
    const QImage expected = render(area, brokenByHand);
    QCOMPARE(bandHeights(expected).size(), 2);
    QCOMPARE(render(area, text), expected);
}

void LyricsLabelTest::tooTallPageShrinks()
{
    const QString text = QStringLiteral("HHHH\nHHHH\nHHHH");
    const int spacing = QFontMetrics(Preferences::Instance()->lyricsFont()).lineSpacing();
    const QList<int> roomy = bandHeights(render({500, 250}, text));
    const QList<int> cramped = bandHeights(render({500, 3 * spacing}, text));
    QCOMPARE(roomy.size(), 3);
    QCOMPARE(cramped.size(), 3);
    QVERIFY2(cramped.first() < roomy.first(), "smaller letters");
}

void LyricsLabelTest::noDataGivesAPlainBackgroundOfTheLabelsSize()
{
    Preferences::Instance()->setBackgroundColor(QColor(10, 20, 30));
    const QImage picture = render({300, 120}, QStringLiteral("HHHH")); // drawn, then taken away
    QVERIFY(extentOf(picture, isInk).rows.size() > 0);
    const QImage plain = label->pixmap().toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(plain.size(), label->contentsRect().size() * label->devicePixelRatio());
    const auto notBackground = [](QRgb pixel) { return qRgb(10, 20, 30) != (pixel | 0xff000000); };
    QVERIFY(extentOf(plain, notBackground).rows.isEmpty());
    Preferences::Instance()->setBackgroundColor(Qt::black);
}

QTEST_MAIN(LyricsLabelTest)
#include "tst_lyricslabel.moc"
