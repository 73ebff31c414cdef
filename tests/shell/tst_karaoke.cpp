// MP3+G songs as their user meets them: a zipped pair played through SDL's disk driver with its
// CD+G screen over the lyrics, following the sound; the View switch back to the lyrics page; and
// hostile archives that give "Unable to play" and nothing else.

#include "cdgsong.h"
#include "cdgview.h"
#include "entry.h"
#include "karaokefixtures.h"
#include "karaokezip.h"
#include "lyricslabel.h"
#include "mainwindow.h"
#include "modalanswers.h"
#include "mp3fixtures.h"
#include "mp3object.h"
#include "preferences.h"

#include <QAction>
#include <QApplication>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QRgb red = qRgb(255, 0, 0), green = qRgb(0, 255, 0), blue = qRgb(0, 0, 255);

// Red with a blue border from the start, all green from 1 s (packet 300) to the end at 2 s.
QByteArray redThenGreen()
{
    KaraokeFixtures::Cdg cdg;
    cdg.colors(0, {0x000, 0xF00, 0x0F0, 0x00F}).memoryPreset(1).borderPreset(3);
    return cdg.at(300).memoryPreset(2).at(600).bytes;
}

QByteArray sine(double seconds)
{
    Mp3Fixtures::Sine tone;
    tone.seconds = seconds;
    return Mp3Fixtures::encodeSine(tone);
}

// Sets every size the archive's headers give for its entries (local and central) to size.
QByteArray withDeclaredSizes(QByteArray zip, quint32 size)
{
    for (const auto &[signature, offset] : {std::pair("PK\3\4", 22), std::pair("PK\1\2", 24)}) {
        for (qsizetype at = zip.indexOf(signature); at >= 0; at = zip.indexOf(signature, at + 4))
            qToLittleEndian(size, zip.data() + at + offset);
    }
    return zip;
}

void trigger(const QString &entry)
{
    for (QAction *action : MainWindow::Instance()->menuBar()->findChildren<QAction *>()) {
        if (action->text() == entry)
            return action->trigger();
    }
    QFAIL(qPrintable("no menu entry " + entry));
}

} // namespace

class TestKaraoke : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void zippedPairPlaysWithItsGraphics();
    void hostileArchivesAreUnableToPlay_data();
    void hostileArchivesAreUnableToPlay();
    void severalPairsPlayTheFirstByName();

private:
    QTemporaryDir dir;
    MainWindow *window = nullptr;
};

void TestKaraoke::init()
{
    QCOMPARE(createClassMutexes(), 0);
    QVERIFY(Preferences::Instance(dir.filePath("test.preferences")));
    Preferences::Instance()->setAutoPlay(true);
    window = MainWindow::Instance();
    window->show();
}

void TestKaraoke::cleanup()
{
    Answers answers({"PlayListChangedBox=no"});
    window->close();
    destroyInstances();
    QFile::remove(dir.filePath("test.preferences"));
}

// The screen seen at every sample is the one of the packets due by the frame heard (none before
// the first frame, only the colour table with it): red with the
// blue border before 1 s, green after; the whole song is heard. "Show CD+G Graphics" unchecked
// gives the lyrics page back, checked the graphics again.
void TestKaraoke::zippedPairPlaysWithItsGraphics()
{
    const QString zip = dir.filePath("Song.zip");
    QVERIFY(KaraokeFixtures::zip(zip, {{"Song.mp3", sine(2)}, {"Song.cdg", redThenGreen()}}));
    auto *view = window->findChild<CdgView *>();
    QVERIFY(view);
    QList<std::tuple<int, QRgb, QRgb>> seen; // frame heard, the picture's middle, its left edge
    QTimer sampler;
    connect(&sampler, &QTimer::timeout, this, [&] {
        MP3Object *song = MP3Object::hasAnInstance() ? MP3Object::Instance() : nullptr;
        if (!song || !song->statusText().startsWith("Playing") || !view->isVisible())
            return;
        const QImage picture = view->grab().toImage();
        seen << std::tuple(song->position(), picture.pixel(picture.width() / 2, picture.height() / 2),
                           picture.pixel(0, picture.height() / 2));
    });
    sampler.start(5);
    window->loadFile(zip);
    QTRY_VERIFY_WITH_TIMEOUT(window->statusBar()->currentMessage() == zip + " is Stoped", 15000);
    QCOMPARE(MP3Object::Instance()->fileName(), zip);
    QVERIFY(view->pictureArea().width() < view->width()); // the rest in the border colour
    int early = 0, late = 0;
    for (const auto &[frame, middle, edge] : std::as_const(seen)) {
        if (frame < 2)
            continue; // the first frame shows only the colour table's packet
        const bool due = CdgSong::packetsForFrame(frame) > 300;
        QVERIFY2(middle == (due ? green : red) && edge == (due ? green : blue),
                 qPrintable(QString("frame %1: %2 %3").arg(frame).arg(middle, 0, 16).arg(edge, 0, 16)));
        (due ? late : early) += 1;
    }
    QVERIFY2(early > 5 && late > 5, qPrintable(QString("%1 %2").arg(early).arg(late)));

    QFile sound(qEnvironmentVariable("SDL_DISKAUDIOFILE"));
    QVERIFY(sound.open(QIODevice::ReadOnly));
    const QByteArray heard = sound.readAll();
    int loud = 0;
    for (qsizetype at = 0; at + 4608 <= heard.size(); at += 4608)
        loud += *std::max_element(reinterpret_cast<const qint16 *>(heard.constData() + at),
                                  reinterpret_cast<const qint16 *>(heard.constData() + at + 4608)) > 1000;
    QVERIFY2(qAbs(loud - 77) <= 2, qPrintable(QString::number(loud)));

    trigger("Show CD+&G Graphics");
    QVERIFY(!view->isVisible());
    QVERIFY(window->findChild<LyricsLabel *>()->isVisible());
    trigger("Show CD+&G Graphics");
    QVERIFY(view->isVisible());
}

void TestKaraoke::hostileArchivesAreUnableToPlay_data()
{
    QTest::addColumn<QByteArray>("archive");
    const QString made = dir.filePath("made.zip");
    const auto make = [&](const QList<std::pair<QString, QByteArray>> &entries) {
        KaraokeFixtures::zip(made, entries);
        QFile file(made);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    const QByteArray song = sine(0.5);
    const QByteArray pair = make({{"Song.mp3", song}, {"Song.cdg", redThenGreen()}});
    QTest::addRow("no graphics") << make({{"Song.mp3", song}, {"Song.lrc", "[00:00.10]la\n"}});
    QTest::addRow("a folder only") << make({{"Song.mp3/", {}}});
    QTest::addRow("names differ") << make({{"Song.mp3", song}, {"Other.cdg", redThenGreen()}});
    QTest::addRow("truncated") << pair.left(pair.size() * 2 / 3);
    QTest::addRow("oversized entry") << withDeclaredSizes(pair, 300u << 20);
    QTest::addRow("zip bomb") << make({{"Song.mp3", song}, {"Song.cdg", QByteArray(8 << 20, '\0')}});
    QTest::addRow("not a zip") << song;
}

// Each is reported as a bad song is, with no box, no graphics and no engine that plays.
void TestKaraoke::hostileArchivesAreUnableToPlay()
{
    QFETCH(QByteArray, archive);
    const QString zip = dir.filePath("Bad.zip");
    QVERIFY(Mp3Fixtures::writeFile(zip, archive));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Unable to open the karaoke archive"));
    QStringList messages;
    connect(window->statusBar(), &QStatusBar::messageChanged, this,
            [&](const QString &text) { messages << text; });
    window->loadFile(zip);
    QTRY_VERIFY(window->statusBar()->currentMessage() == "Unable to play Bad.zip");
    QTest::qWait(200);
    QCOMPARE(window->statusBar()->currentMessage(), QString("Unable to play Bad.zip"));
    // Refused at once: the song never started before its failure was found.
    QCOMPARE(messages.value(1), QString("Unable to play Bad.zip"));
    QVERIFY(!window->findChild<CdgView *>()->isVisible());
    QVERIFY(!MP3Object::hasAnInstance() || MP3Object::Instance()->totalFrames() == 0);
    for (const QWidget *top : QApplication::topLevelWidgets())
        QVERIFY2(!qobject_cast<const QMessageBox *>(top) || !top->isVisible(), qPrintable(top->objectName()));
}

// Two pairs: the first by name plays, and the log says so.
void TestKaraoke::severalPairsPlayTheFirstByName()
{
    const QString zip = dir.filePath("Two.zip");
    const QByteArray first = sine(0.3), second = sine(0.6);
    QVERIFY(KaraokeFixtures::zip(zip, {{"b/Two.mp3", second}, {"b/Two.cdg", redThenGreen()},
                                       {"a.mp3", first}, {"a.cdg", redThenGreen()}}));
    QTemporaryDir out;
    KaraokeZip::Pair pair;
    QString error;
    QTest::ignoreMessage(QtInfoMsg, QRegularExpression("holds 2 songs; playing the first by name, a$"));
    QVERIFY2(KaraokeZip::extract(zip, out.path(), pair, error), qPrintable(error));
    QFile audio(pair.audio);
    QVERIFY(audio.open(QIODevice::ReadOnly));
    QCOMPARE(audio.readAll(), first);
}

QTEST_MAIN(TestKaraoke)
#include "tst_karaoke.moc"
