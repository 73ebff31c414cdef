// The preferences store against its file format, written out here byte by byte, and its
// failure paths: damaged and hostile files, an unwritable folder, a full disk.

#include "preferences.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QtEndian>
#include <QtTest>

#include <csignal>
#include <functional>
#include <sys/resource.h>
#include <unistd.h>

namespace {

const auto hex = [](const char *digits) { return QByteArray::fromHex(digits); };

// A string on the stream: its byte count, then its UTF-16 code units, most significant first.
QByteArray string16(const QString &text)
{
    QByteArray bytes(4 + text.size() * 2, '\0');
    qToBigEndian(qint32(text.size() * 2), bytes.data());
    qToBigEndian<quint16>(text.utf16(), text.size(), bytes.data() + 4);
    return bytes;
}

// The record: the tag 15, then in file order the flags playlistVisible, repeatPlaylist, autoPlay
// and disableScreenSaver (ints), the main and playlist window positions, the three module names,
// the background colour (0xffRRGGBB), nextBufferSize, the highlight colour, lastDirectory,
// lastFile (empty, not null, at first), the normal colour, the lyrics font (family, point size x
// 10 in 16 bits, then style hint, charset, weight and style bits in 8 each), nextBufferCount, the
// main window's height and width and the playlist window's width and height.
QByteArray defaultRecord(const QString &lastDirectory)
{
    return hex("0000000F 00000000 00000000 00000001 00000001 0000000A 0000000A 0000000A 0000012C") +
           string16("KWO MP3 Decoder") + string16("KWO Interactive Content Decoder") +
           string16("SDL 1.0.8 Sound Output") + hex("FF000000 00000014 FFFF0000") +
           string16(lastDirectory) + hex("00000000 FFFFFFFF") + string16("Arial") +
           hex("00C8 05 00 4B 00 00000014 000000FA 000001F4 000000FA 000000FA");
}

const QString changedDirectory = QStringLiteral("/srv/Lieder \u03a9/");

// Every field away from its default, as changeEveryField() leaves them: an empty and a null
// module name, a 14 pt italic font.
QByteArray changedRecord()
{
    return hex("0000000F 00000001 00000001 00000000 00000000 FFFFFFFE 000001F4 00000033 00000044") +
           string16("mp3") + string16("") + hex("FFFFFFFF FF102030 00000007 FF00FF00") +
           string16(changedDirectory) + string16("dir/track 1.mp3") + hex("FFABCDEF") +
           string16("DejaVu Serif") +
           hex("008C 05 00 32 01 00000009 00000190 00000320 0000012D 0000012E");
}

void changeEveryField(Preferences *prefs)
{
    prefs->setPlaylistWindowWidth(301); // kept in memory; the next setter writes it
    prefs->setPlaylistWindowHeight(302);
    prefs->setPlaylistVisible(true);
    prefs->setRepeatPlaylist(true);
    prefs->setAutoPlay(false);
    prefs->setDisableScreenSaver(false);
    prefs->setMainWindowPosition(-2, 500);
    prefs->setPlaylistWindowPosition(51, 68);
    prefs->setMp3DecoderModule(QStringLiteral("mp3"));
    prefs->setInteractiveMediaModule(QLatin1String(""));
    prefs->setSoundOutputModule(QString());
    prefs->setBackgroundColor(QColor(0x10, 0x20, 0x30));
    prefs->setNextBufferSize(7);
    prefs->setHighlightColor(Qt::green);
    prefs->setLastDirectory(changedDirectory);
    prefs->setLastFile(QStringLiteral("C:\\Lieder/odd\\dir/track 1.mp3"));
    prefs->setNormalColor(QColor(0xab, 0xcd, 0xef));
    prefs->setLyricsFont(QFont(QStringLiteral("DejaVu Serif"), 14, QFont::Normal, true));
    prefs->setNextBufferCount(9);
    prefs->setMainWindowHeight(400);
    prefs->setMainWindowWidth(800);
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Runs act with a soft limit lowered to value.
void underLimit(int resource, rlim_t value, const std::function<void()> &act)
{
    rlimit saved{};
    QVERIFY(getrlimit(resource, &saved) == 0);
    const rlimit lowered{value, saved.rlim_max};
    QVERIFY(setrlimit(resource, &lowered) == 0);
    act();
    QVERIFY(setrlimit(resource, &saved) == 0);
}

} // namespace

class PreferencesTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void recordWrittenAndRead_data();
    void recordWrittenAndRead();
    void writeFailuresReported();

private:
    QString file() const { return home.filePath(QStringLiteral("VantrelKivo.preferences")); }

    QTemporaryDir home; // emptied before each test; without a Music folder it is the last folder
    const QString homeFolder = home.path() + QLatin1Char('/');
};

void PreferencesTest::init()
{
    QVERIFY(SingleInstance<Preferences>::createClassMutex());
    QVERIFY(QDir(home.path()).removeRecursively() && QDir().mkpath(home.path()));
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral(".config"))));
    std::signal(SIGXFSZ, SIG_IGN); // a write past the file-size limit fails instead
}

// The store leaves the engine's buffer settings with itself.
void PreferencesTest::cleanup()
{
    if (Preferences::hasAnInstance())
        delete Preferences::Instance();
    QVERIFY(!BufferSettings::installed());
}

void PreferencesTest::recordWrittenAndRead_data()
{
    QTest::addColumn<QByteArray>("stored"); // the file at the second start; null: as written
    QTest::addColumn<QByteArray>("record"); // the file once a setter has written again
    QTest::addColumn<QPoint>("buffers");    // frames per buffer and buffers then in effect
    const QByteArray good = changedRecord();
    const QByteArray bad = defaultRecord(homeFolder + QLatin1String("Music/"));
    const QPoint badBuffers(20, 20);
    const int directoryAt = good.indexOf(string16(changedDirectory));
    const int fontAt = good.indexOf(string16(QStringLiteral("DejaVu Serif")));
    const int nextSizeAt = good.indexOf(hex("FF102030")) + 4;
    const auto patched = [&](int at, const char *digits) {
        return QByteArray(good).replace(at, hex(digits).size(), hex(digits));
    };
    QTest::addRow("every field changed") << QByteArray() << good << QPoint(7, 9);
    // Any non-zero int is true, here 2 and the sign bit alone.
    QTest::addRow("flags 2 and 0x80000000")
        << patched(4, "00000002 80000000") << good << QPoint(7, 9);
    // The next-song values are kept as stored and put in effect within 1..56 and 6..40;
    // nextBufferCount is the fifth int from the end.
    const QByteArray low =
        patched(nextSizeAt, "00000000").replace(good.size() - 20, 4, hex("00000005"));
    QTest::addRow("next buffers too low") << low << low << QPoint(1, 6);
    const QByteArray high =
        patched(nextSizeAt, "00000039").replace(good.size() - 20, 4, hex("7FFFFFFF"));
    QTest::addRow("next buffers too high") << high << high << QPoint(56, 40);
    QTest::addRow("empty file") << QByteArray("") << bad << badBuffers;
    QTest::addRow("wrong tag") << patched(0, "0000000E") << bad << badBuffers;
    QTest::addRow("cut inside a flag") << good.left(14) << bad << badBuffers;
    QTest::addRow("cut inside a string") << good.left(directoryAt + 9) << bad << badBuffers;
    QTest::addRow("last byte missing") << good.chopped(1) << bad << badBuffers;
    QTest::addRow("string past the end") << patched(directoryAt, "7FFFFFFE") << bad << badBuffers;
    QTest::addRow("font past the end") << patched(fontAt, "7FFFFFF0") << bad << badBuffers;
    // A size or place no screen can show reads as that field's default, the others as stored;
    // the sizes are the last four ints: main height and width, playlist width and height.
    const auto sizes = [&](const char *digits) {
        return QByteArray(good).replace(good.size() - 16, 16, hex(digits));
    };
    QTest::addRow("main window 2^31-1 wide, playlist 0 high")
        << sizes("00000190 7FFFFFFF 0000012D 00000000")
        << sizes("00000190 000001F4 0000012D 000000FA")
        << QPoint(7, 9);
    QTest::addRow("negative height, width 4 screens and one pixel")
        << sizes("80000000 00000C81 0000012D 0000012E")
        << sizes("000000FA 000001F4 0000012D 0000012E")
        << QPoint(7, 9);
    QTest::addRow("places on no screen")
        << patched(20, "7FFFFFFF 00000000 00000033 FFFF0000")
        << patched(20, "0000000A 0000000A 0000000A 0000012C") << QPoint(7, 9);
}

// The record our writer makes against the bytes above: a first start writes the defaults, every
// setter its field, and the next-song buffers take effect at reload. A second start, now with a
// Music folder, reads the file back or, when it is damaged, writes the defaults; the next setter
// writes the record again. A length prefix claiming more than the file holds allocates nothing:
// the start has 1 MiB of address space to spare, less than the 2 MiB a string reader asks for
// first. The engine reads the buffers in effect through the store, installed while it lives.
void PreferencesTest::recordWrittenAndRead()
{
    QFETCH(QByteArray, stored);
    QFETCH(QByteArray, record);
    QFETCH(QPoint, buffers);
    Preferences *prefs = Preferences::Instance(file());
    const auto inEffect = [&] { return QPoint(prefs->bufferSize(), prefs->bufferCount()); };
    QCOMPARE(BufferSettings::installed(), static_cast<BufferSettings *>(prefs));
    QCOMPARE(readAll(file()).toHex(' '), defaultRecord(homeFolder).toHex(' '));
    changeEveryField(prefs);
    QCOMPARE(inEffect(), QPoint(20, 20));
    prefs->reload();
    QCOMPARE(inEffect(), QPoint(7, 9));

    delete prefs;
    QVERIFY(QDir(home.path()).mkdir(QStringLiteral("Music")));
    QFile out(file());
    QVERIFY(stored.isNull() ||
            (out.open(QIODevice::WriteOnly) && out.write(stored) == stored.size()));
    out.close();
    const rlim_t inUse = readAll(QStringLiteral("/proc/self/statm")).split(' ')[0].toULongLong() *
                         sysconf(_SC_PAGESIZE);
    underLimit(RLIMIT_AS, inUse + (1 << 20), [&] { prefs = Preferences::Instance(file()); });
    QCOMPARE(inEffect(), buffers);
    prefs->setAutoPlay(prefs->autoPlay());
    QCOMPARE(readAll(file()).toHex(' '), record.toHex(' '));
}

// Writing fails at start and at every setter but the playlist window's two sizes, each time
// with one box, and the values are kept for the run, also when a song is set up. A write cut short
// by the file-size limit, as on a full disk, leaves the previous file whole.
void PreferencesTest::writeFailuresReported()
{
    const QString folder = home.filePath(QStringLiteral("config"));
    const QString file = folder + QStringLiteral("/VantrelKivo.preferences");
    const QString box = QLatin1String("File ERROR|Unable to write to the file: ") + file +
                        QLatin1String(" Please check to see if you have write permision to "
                                      "this file");
    QVERIFY(QFile(folder).open(QIODevice::WriteOnly)); // a file where the folder should be
    QStringList boxes; // every message box, accepted as soon as it shows
    QTimer closer;
    connect(&closer, &QTimer::timeout, this, [&boxes] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            boxes << box->windowTitle() + QLatin1Char('|') + box->text();
            box->accept();
        }
    });
    closer.start(0);
    Preferences *prefs = Preferences::Instance(file);
    changeEveryField(prefs);
    QCOMPARE(boxes, QStringList(20, box));
    prefs->reload(); // as each song's engine is built: the next buffers take effect, all else stays
    QCOMPARE(QPoint(prefs->bufferSize(), prefs->bufferCount()), QPoint(7, 9));
    QVERIFY(prefs->repeatPlaylist() && prefs->mainWindowWidth() == 800);

    QVERIFY(QFile::remove(folder) && QDir().mkdir(folder));
    prefs->setAutoPlay(false);
    underLimit(RLIMIT_FSIZE, 100, [&] { prefs->setAutoPlay(true); });
    QCOMPARE(boxes.size(), 21);
    QCOMPARE(readAll(file).toHex(' '), changedRecord().toHex(' '));
}

QTEST_MAIN(PreferencesTest)
#include "tst_preferences.moc"
