// CD+G graphics: songs written here whose screens are known, checked pixel by pixel after each
// instruction, at the time each packet is due, and after jumps back and forth; files the reader
// must refuse without waiting or allocating.

#include "cdgsong.h"
#include "karaokefixtures.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

using Cdg = KaraokeFixtures::Cdg;
using Probes = QList<std::tuple<int, int, int>>; // x, y and the colour index seen there

Q_DECLARE_METATYPE(Cdg)

namespace {

const std::array<int, 12> solid = {63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63};

// Index i is grey i * 17 in every component, so a pixel's colour tells its index.
Cdg greys()
{
    Cdg cdg;
    cdg.colors(0, {0x000, 0x111, 0x222, 0x333, 0x444, 0x555, 0x666, 0x777});
    cdg.colors(8, {0x888, 0x999, 0xAAA, 0xBBB, 0xCCC, 0xDDD, 0xEEE, 0xFFF});
    return cdg;
}

QImage played(const QByteArray &bytes, int count)
{
    CdgScreen screen;
    for (int n = 0; n < count && (n + 1) * 24 <= bytes.size(); ++n)
        screen.apply(reinterpret_cast<const uint8_t *>(bytes.constData()) + n * 24);
    return screen.image();
}

} // namespace

class TestCdg : public QObject
{
    Q_OBJECT

private slots:
    void instructions_data();
    void instructions();
    void packetsShownByFrame_data();
    void packetsShownByFrame();
    void jumpsShowWhatPlayingThroughShows_data();
    void jumpsShowWhatPlayingThroughShows();
    void hostileFilesAreRefused();
};

void TestCdg::instructions_data()
{
    QTest::addColumn<Cdg>("cdg");
    QTest::addColumn<Probes>("probes");
    const std::array<int, 12> edges = {33, 33, 33, 33, 33, 33, 33, 33, 33, 33, 33, 33}; // 100001
    const std::array<int, 12> x9 = {4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4};                // 000100
    QTest::addRow("memory preset") << greys().memoryPreset(3)
                                   << Probes{{150, 100, 3}, {0, 0, 3}, {299, 215, 3}};
    QTest::addRow("border preset") << greys().memoryPreset(1).borderPreset(2)
                                   << Probes{{150, 100, 1}, {5, 11, 2}, {6, 12, 1}, {293, 203, 1},
                                             {294, 100, 2}, {100, 204, 2}};
    QTest::addRow("tile") << greys().memoryPreset(0).tile(4, 5, 2, 3, edges)
                          << Probes{{18, 24, 5}, {19, 24, 4}, {23, 35, 5}, {24, 24, 0}, {18, 36, 0}};
    QTest::addRow("tile exclusive or")
        << greys().memoryPreset(1).tile(0, 3, 1, 1, {56, 56, 56, 56, 56, 56, 56, 56, 56, 56, 56, 56})
               .tile(2, 6, 1, 1, {48, 48, 48, 48, 48, 48, 48, 48, 48, 48, 48, 48}, true)
        << Probes{{6, 12, 5}, {8, 12, 1}, {9, 23, 2}, {12, 12, 1}};
    QTest::addRow("outside and foreign packets skipped")
        << greys().memoryPreset(1).tile(0, 7, 18, 0, solid).tile(0, 7, 0, 50, solid).foreign(1, 7)
        << Probes{{150, 100, 1}, {6, 12, 1}, {293, 203, 1}};
    QTest::addRow("scroll preset right fills")
        << greys().memoryPreset(0).tile(0, 1, 5, 10, solid).scroll(7, 0x10, 0, false).scroll(7, 0x10, 0, false)
        << Probes{{72, 60, 1}, {77, 71, 1}, {71, 60, 0}, {78, 60, 0}, {6, 100, 7}, {11, 100, 7}, {12, 100, 0}};
    QTest::addRow("scroll preset up fills")
        << greys().memoryPreset(0).tile(0, 1, 5, 10, solid).scroll(7, 0, 0x20, false).scroll(7, 0, 0x20, false)
        << Probes{{60, 36, 1}, {65, 47, 1}, {60, 48, 0}, {150, 192, 7}, {150, 203, 7}, {150, 191, 0}};
    QTest::addRow("scroll copy right wraps")
        << greys().memoryPreset(0).tile(0, 1, 5, 49, solid).scroll(7, 0x10, 0, true).scroll(7, 0x10, 0, true)
        << Probes{{6, 60, 1}, {11, 71, 1}, {12, 60, 0}, {150, 60, 0}};
    QTest::addRow("scroll copy left wraps")
        << greys().memoryPreset(0).tile(0, 1, 5, 0, solid).scroll(7, 0x20, 0, true).scroll(7, 0x20, 0, true)
        << Probes{{288, 60, 1}, {293, 71, 1}, {287, 60, 0}, {6, 60, 0}};
    QTest::addRow("scroll copy down wraps")
        << greys().memoryPreset(0).tile(0, 1, 17, 5, solid).scroll(7, 0, 0x10, true).scroll(7, 0, 0x10, true)
        << Probes{{30, 12, 1}, {35, 23, 1}, {30, 24, 0}, {30, 203, 0}};
    QTest::addRow("scroll offsets move the window")
        << greys().memoryPreset(0).tile(0, 1, 1, 1, x9).scroll(0, 0x03, 0x05, false)
        << Probes{{6, 12, 1}, {6, 18, 1}, {6, 19, 0}, {7, 12, 0}, {5, 12, 0}};
    QTest::addRow("transparent colour changes nothing seen")
        << greys().memoryPreset(4).transparent(4) << Probes{{150, 100, 4}, {0, 0, 4}};
}

// Each instruction's screen, seen through image() as the display gets it.
void TestCdg::instructions()
{
    QFETCH(Cdg, cdg);
    QFETCH(Probes, probes);
    CdgSong song;
    song.setBytes(cdg.bytes);
    song.seek(song.packetCount());
    const QImage image = song.screen().image();
    QCOMPARE(image.size(), QSize(300, 216));
    for (const auto &[x, y, index] : probes) {
        const int grey = index * 17;
        QVERIFY2(image.pixel(x, y) == qRgb(grey, grey, grey),
                 qPrintable(QString("(%1, %2) is %3, not %4")
                                .arg(x).arg(y).arg(qGray(image.pixel(x, y)) / 17).arg(index)));
    }
    if (QByteArray(QTest::currentDataTag()).startsWith("transparent"))
        QCOMPARE(song.screen().transparentColor(), 4);
}

// Packet n shows once the sound of n/300 s is heard: with the frame that starts at or after it.
void TestCdg::packetsShownByFrame_data()
{
    QTest::addColumn<int>("frame");
    QTest::addColumn<int>("packets");
    QTest::addColumn<QRgb>("seen");
    // Red from packet 1, green from 1 s (packet 300), blue from 2.5 s (packet 750).
    for (const auto &[frame, packets, seen] :
         {std::tuple{0, 0, qRgb(0, 0, 0)}, {1, 1, qRgb(0, 0, 0)}, {2, 8, qRgb(255, 0, 0)},
          {39, 298, qRgb(255, 0, 0)}, {40, 306, qRgb(0, 255, 0)}, {96, 745, qRgb(0, 255, 0)},
          {97, 753, qRgb(0, 0, 255)}, {5000, 900, qRgb(0, 0, 255)}})
        QTest::addRow("frame %d", frame) << frame << packets << seen;
}

void TestCdg::packetsShownByFrame()
{
    QFETCH(int, frame);
    QFETCH(int, packets);
    QFETCH(QRgb, seen);
    Cdg cdg;
    cdg.colors(0, {0x000, 0xF00, 0x0F0, 0x00F}).memoryPreset(1).at(300).memoryPreset(2);
    cdg.at(750).memoryPreset(3).at(900);
    CdgSong song;
    song.setBytes(cdg.bytes);
    QCOMPARE(std::min(CdgSong::packetsForFrame(frame), song.packetCount()), packets);
    song.seek(CdgSong::packetsForFrame(frame));
    QCOMPARE(song.screen().image().pixel(150, 100), seen);
}

// A 40 s song of every instruction at random, reached by playing on, rewinding and seeking across
// the stored copies: the screen always equals the one of playing straight through.
void TestCdg::jumpsShowWhatPlayingThroughShows_data()
{
    QTest::addColumn<QList<int>>("stops"); // packet counts visited in order
    QTest::addRow("play on") << QList<int>{1, 150, 2999, 3000, 3001, 7000};
    QTest::addRow("rewind") << QList<int>{9000, 8990, 6001, 5999, 2, 0};
    QTest::addRow("seek forward and back") << QList<int>{100, 11500, 3100, 11999, 12000, 4500};
    QTest::addRow("seek past the end") << QList<int>{50000, 11999};
}

void TestCdg::jumpsShowWhatPlayingThroughShows()
{
    QFETCH(QList<int>, stops);
    QRandomGenerator random(21);
    Cdg cdg = greys();
    while (cdg.bytes.size() < 12000 * 24) {
        const int c = random.bounded(16), row = random.bounded(19), column = random.bounded(51);
        std::array<int, 12> rows{};
        for (int &bits : rows)
            bits = random.bounded(64);
        switch (random.bounded(12)) {
        case 0: cdg.memoryPreset(c); break;
        case 1: cdg.borderPreset(c); break;
        case 2: cdg.scroll(c, random.bounded(64), random.bounded(64), random.bounded(2)); break;
        case 3: cdg.colors(8 * random.bounded(2), {random.bounded(4096), random.bounded(4096)}); break;
        case 4: cdg.at(cdg.bytes.size() / 24 + random.bounded(40)); break;
        default: cdg.tile(c, random.bounded(16), row, column, rows, random.bounded(2)); break;
        }
    }
    cdg.bytes.truncate(12000 * 24);
    CdgSong song;
    song.setBytes(cdg.bytes);
    QCOMPARE(song.packetCount(), 12000);
    for (int stop : std::as_const(stops)) {
        song.seek(stop);
        QCOMPARE(song.position(), std::min(stop, 12000));
        QVERIFY2(song.screen().image() == played(cdg.bytes, stop), qPrintable(QString::number(stop)));
    }
}

// A FIFO nobody writes to, a folder, a file over the bound (sparse) and a missing file: each is
// refused at once, leaving an empty song; a part packet at the end is ignored.
void TestCdg::hostileFilesAreRefused()
{
    QTemporaryDir dir;
    const QString fifo = dir.filePath("fifo.cdg"), huge = dir.filePath("huge.cdg");
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QFile file(huge);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(CdgSong::maxFileSize + 24));
    file.close();
    for (const QString &path : {fifo, dir.path(), huge, dir.filePath("missing.cdg")}) {
        CdgSong song;
        song.setBytes(greys().bytes);
        QString error;
        QVERIFY2(!song.open(path, &error), qPrintable(path));
        QVERIFY(!error.isEmpty());
        QCOMPARE(song.packetCount(), 0);
        QVERIFY(!song.seek(100));
    }
    CdgSong song;
    song.setBytes(greys().memoryPreset(1).bytes + QByteArray(23, '\x09'));
    QCOMPARE(song.packetCount(), 3);
    QCOMPARE(song.changeCount(), 3);
}

QTEST_GUILESS_MAIN(TestCdg)
#include "tst_cdg.moc"
