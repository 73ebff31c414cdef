// The lyrics display, judged on the pixels of the picture it shows, with the default colours
// (white text, red highlight, black background) and whatever font "Arial" resolves to here; and
// the stage around it: fitting, cues, cards.

#include "lyricsdata.h"
#include "lyricslabel.h"
#include "pagelayout.h"
#include "preferences.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

const auto isHighlight = [](QRgb p) { return qRed(p) > 150 && qGreen(p) < 60 && qBlue(p) < 60; };
const auto isNormal = [](QRgb p) { return qRed(p) > 150 && qGreen(p) > 150 && qBlue(p) > 150; };
const auto isInk = [](QRgb p) { return isHighlight(p) || isNormal(p); };
// The normal colour dimmed halfway to the background: coming pages and notes.
const auto isDim = [](QRgb p) { return qGreen(p) > 90 && qGreen(p) < 150 && qRed(p) < 150; };

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
QList<int> bandHeights(const QImage &image, bool (*kind)(QRgb) = isInk)
{
    QList<int> heights;
    int previous = -2;
    for (int row : extentOf(image, kind).rows) {
        if (row != previous + 1)
            heights << 0;
        ++heights.last();
        previous = row;
    }
    return heights;
}

// Separate runs of highlight in the middle row of the highlight above the first other ink: the
// countdown's marks.
int marksAbovePage(const QImage &image)
{
    const auto isPage = [](QRgb p) { return isNormal(p) || isDim(p); };
    const QList<int> pageRows = extentOf(image, isPage).rows;
    QList<int> rows;
    for (int row : extentOf(image, isHighlight).rows) {
        if (pageRows.isEmpty() || row < pageRows.first())
            rows << row;
    }
    if (rows.isEmpty())
        return 0;
    const int y = rows.at(rows.size() / 2);
    int runs = 0;
    for (int x = 0; x < image.width(); ++x)
        runs += isHighlight(image.pixel(x, y)) && (x == 0 || !isHighlight(image.pixel(x - 1, y)));
    return runs;
}

enum class Expect { FillsStage, Wraps, Marks, TitleCard, NoLyricsCard, Hint };

} // namespace
Q_DECLARE_METATYPE(Expect)

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
    void stageShows_data();
    void stageShows();

private:
    QImage render(QSize contents, const QString &text, int highlightStart = 0,
                  int highlightEnd = 0);
    QImage renderStage(QSize contents, bool fit, const QString &song, qint64 ms,
                       const LyricsData &page);

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
    QTest::addColumn<bool>("fit");
    QTest::addRow("wiped from the page's start") << QStringLiteral("HHHH NNNN") << 0 << 4 << false;
    QTest::addRow("wiped from a later line's start")
        << QStringLiteral("NNNN\nHHHH NNNN") << 5 << 9 << false;
    QTest::addRow("wiped on the stage, up to the next letter")
        << QStringLiteral("NNNN\nHHHHNNNN") << 5 << 9 << true;
}

void LyricsLabelTest::highlightEndingInsideALineSplitsItOnOneBaseline()
{
    QFETCH(QString, text);
    QFETCH(int, highlightStart);
    QFETCH(int, highlightEnd);
    QFETCH(bool, fit);
    label->setFitToWindow(fit);
    const QImage picture = render({500, 250}, text, highlightStart, highlightEnd);
    label->setFitToWindow(false);
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

// The picture of the stage for song (a file name in the home folder, or none) at ms.
QImage LyricsLabelTest::renderStage(QSize contents, bool fit, const QString &song, qint64 ms,
                                    const LyricsData &page)
{
    const int frame = label->frameWidth();
    label->resize(contents + QSize(2 * frame, 2 * frame));
    label->setFitToWindow(fit);
    if (!song.isEmpty()) {
        label->setSong(home.filePath(song));
        QSignalSpy read(label.get(), &LyricsLabel::songRead);
        if (!read.wait(5000))
            return {};
    }
    label->setPlayPosition(ms);
    label->ScreenRedraw(page.text.isEmpty() ? nullptr : const_cast<LyricsData *>(&page));
    const QImage picture = label->pixmap().toImage().convertToFormat(QImage::Format_RGB32);
    label->ScreenRedraw(nullptr);
    label->setSong(QString());
    label->setFitToWindow(false);
    return picture;
}

void LyricsLabelTest::stageShows_data()
{
    // Singing starts at 8 s; the title and artist come from the LRC file.
    QFile lrc(home.filePath(QStringLiteral("late.lrc")));
    QVERIFY(lrc.open(QIODevice::WriteOnly));
    lrc.write("[ti:Late Starter]\n[ar:The Testers]\n[00:08.00]<00:08.00>HELLO <00:09.00>WORLD "
              "<00:10.00>\n");
    lrc.close();
    for (const char *name : {"late.mp3", "silent.mp3"}) {
        QFile song(home.filePath(QLatin1String(name)));
        QVERIFY(song.open(QIODevice::WriteOnly));
    }
    const QString sung = QStringLiteral("HELLO WORLD");
    const QString longWord = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ").repeated(3).left(60);

    QTest::addColumn<QSize>("area");
    QTest::addColumn<bool>("fit");
    QTest::addColumn<QString>("song");
    QTest::addColumn<qint64>("ms");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("highlightEnd");
    QTest::addColumn<Expect>("expect");
    QTest::addColumn<int>("marks");
    QTest::addRow("a fitted page fills a full HD stage")
        << QSize(1920, 1080) << true << QString() << qint64(0)
        << QStringLiteral("Under the lanterns\nwe sang the songs\nand every verse\nlike boats")
        << 0 << Expect::FillsStage << 0;
    QTest::addRow("a 60-letter word wraps in the window at the lyrics font's size")
        << QSize(500, 250) << false << QString() << qint64(0) << longWord << 0 << Expect::Wraps
        << 0;
    QTest::addRow("a 60-letter word wraps on the stage, no smaller than the minimum")
        << QSize(1920, 1080) << true << QString() << qint64(0) << longWord << 0 << Expect::Wraps
        << 0;
    QTest::addRow("the coming page dimmed, no countdown yet")
        << QSize(500, 250) << false << QStringLiteral("late.mp3") << qint64(4900) << sung << 0
        << Expect::Marks << 0;
    QTest::addRow("three marks 3 s before the first word")
        << QSize(500, 250) << false << QStringLiteral("late.mp3") << qint64(5000) << sung << 0
        << Expect::Marks << 3;
    QTest::addRow("one mark in the last second, on the stage")
        << QSize(1920, 1080) << true << QStringLiteral("late.mp3") << qint64(7500) << sung << 0
        << Expect::Marks << 1;
    QTest::addRow("no marks once the first word is sung")
        << QSize(500, 250) << false << QStringLiteral("late.mp3") << qint64(8000) << sung << 5
        << Expect::Marks << 0;
    QTest::addRow("the title card in the introduction")
        << QSize(500, 250) << false << QStringLiteral("late.mp3") << qint64(1000) << sung << 0
        << Expect::TitleCard << 0;
    QTest::addRow("a song without lyrics shows its title card")
        << QSize(500, 250) << false << QStringLiteral("silent.mp3") << qint64(1000) << QString()
        << 0 << Expect::NoLyricsCard << 0;
    QTest::addRow("no song shows how to open one")
        << QSize(300, 120) << false << QString() << qint64(0) << QString() << 0 << Expect::Hint
        << 0;
}

void LyricsLabelTest::stageShows()
{
    QFETCH(QSize, area);
    QFETCH(bool, fit);
    QFETCH(QString, song);
    QFETCH(qint64, ms);
    QFETCH(QString, text);
    QFETCH(int, highlightEnd);
    QFETCH(Expect, expect);
    QFETCH(int, marks);
    const QImage picture = renderStage(area, fit, song, ms, LyricsData(text, 0, highlightEnd));
    QCOMPARE(picture.size(), area * label->devicePixelRatio());
    const Extent ink = extentOf(picture, isInk);
    const QList<int> bands = bandHeights(picture);
    switch (expect) {
    case Expect::FillsStage:
        QVERIFY2(ink.right - ink.left >= 0.6 * area.width() ||
                     ink.rows.last() - ink.rows.first() >= 0.5 * area.height(),
                 "the page spans 60 % of the width or 50 % of the height");
        break;
    case Expect::Wraps: {
        const int lowest = fit ? int(0.6 * PageLayout::minimumPixelSize(area.height()))
                               : bandHeights(render(area, QStringLiteral("HHHH"))).first();
        QVERIFY2(bands.size() >= 2, "the word is broken into rows");
        for (int height : bands)
            QVERIFY2(height >= lowest, qPrintable(QStringLiteral("row %1 px").arg(height)));
        QVERIFY2(ink.left >= 0 && ink.right < area.width(), "no row leaves the area");
        break;
    }
    case Expect::Marks:
        QCOMPARE(marksAbovePage(picture), marks);
        QVERIFY2(!extentOf(picture, marks > 0 || highlightEnd == 0 ? isDim : isNormal).rows.isEmpty(),
                 "the coming page, dimmed until it is sung");
        break;
    case Expect::TitleCard:
        QCOMPARE(bands.size(), 2); // title and artist
        QVERIFY(extentOf(picture, isHighlight).rows.isEmpty());
        break;
    case Expect::NoLyricsCard:
        QCOMPARE(bands.size(), 1); // the file name: no tag, no artist
        QVERIFY2(extentOf(picture, isDim, ink.rows.last() + 1).rows.size() > 0,
                 "the note under the title, dimmed");
        break;
    case Expect::Hint:
        QCOMPARE(bands.size(), 2); // the program's name and how to open a song
        break;
    }
}

QTEST_MAIN(LyricsLabelTest)
#include "tst_lyricslabel.moc"
