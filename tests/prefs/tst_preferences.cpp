// The preferences store against its file format, written out here byte by byte, and its
// failure paths: missing, damaged and hostile files, unwritable files and folders.

#include "preferences.h"
#include "singleinstance.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QtEndian>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

namespace {

QByteArray hex(const char *digits)
{
    return QByteArray::fromHex(digits);
}

QByteArray int32(qint32 value)
{
    QByteArray bytes(4, '\0');
    qToBigEndian(value, bytes.data());
    return bytes;
}

// A string on the stream: its byte count, then its UTF-16 code units, most significant first.
QByteArray string16(const QString &text)
{
    QByteArray bytes = int32(qint32(text.size() * 2));
    for (QChar unit : text) {
        bytes.append(char(unit.unicode() >> 8));
        bytes.append(char(unit.unicode() & 0xff));
    }
    return bytes;
}

QByteArray defaultRecord(const QString &lastDirectory)
{
    return hex("0000000F")                               // format tag
           + hex("00000000")                             // playlistVisible: false
           + hex("00000000")                             // repeatPlaylist: false
           + hex("00000001")                             // autoPlay: true
           + hex("00000001")                             // disableScreenSaver: true
           + hex("0000000A 0000000A")                    // mainWindowPosition (10, 10)
           + hex("0000000A 0000012C")                    // playlistWindowPosition (10, 300)
           + string16("KWO MP3 Decoder")                 // mp3DecoderModule
           + string16("KWO Interactive Content Decoder") // interactiveMediaModule
           + string16("SDL 1.0.8 Sound Output")          // soundOutputModule
           + hex("FF000000")                             // backgroundColor: black
           + hex("00000014")                             // nextBufferSize: 20
           + hex("FFFF0000")                             // highlightColor: red
           + string16(lastDirectory)                     // lastDirectory
           + hex("00000000")                             // lastFile: "" (empty, not null)
           + hex("FFFFFFFF")                             // normalColor: white
           + string16("Arial") + hex("00C8 05 00 4B 00") // lyricsFont: 20 pt, any style, bold
           + hex("00000014")                             // nextBufferCount: 20
           + hex("000000FA")                             // mainWindowHeight: 250
           + hex("000001F4")                             // mainWindowWidth: 500
           + hex("000000FA")                             // playlistWindowWidth: 250
           + hex("000000FA");                            // playlistWindowHeight: 250
}

// Every field away from its default, as changedRecord() stores it.
const QString changedDirectory = QStringLiteral("/srv/Lieder \u03a9/");

QByteArray changedRecord()
{
    return hex("0000000F")                                      // format tag
           + hex("00000001")                                    // playlistVisible: true
           + hex("00000001")                                    // repeatPlaylist: true
           + hex("00000000")                                    // autoPlay: false
           + hex("00000000")                                    // disableScreenSaver: false
           + hex("FFFFFFFE 00000400")                           // mainWindowPosition (-2, 1024)
           + hex("00000033 00000044")                           // playlistWindowPosition (51, 68)
           + string16("mp3")                                    // mp3DecoderModule
           + string16("")                                       // interactiveMediaModule: empty
           + hex("FFFFFFFF")                                    // soundOutputModule: null
           + hex("FF102030")                                    // backgroundColor
           + hex("00000007")                                    // nextBufferSize: 7
           + hex("FF00FF00")                                    // highlightColor: green
           + string16(changedDirectory)                         // lastDirectory
           + string16("track 1.mp3")                            // lastFile
           + hex("FFABCDEF")                                    // normalColor
           + string16("DejaVu Serif") + hex("008C 01 00 32 07") // 14 pt, serif, normal, i+u+s
           + hex("00000009")                                    // nextBufferCount: 9
           + hex("00000190")                                    // mainWindowHeight: 400
           + hex("00000320")                                    // mainWindowWidth: 800
           + hex("0000012D")                                    // playlistWindowWidth: 301
           + hex("0000012E");                                   // playlistWindowHeight: 302
}

QFont changedFont()
{
    QFont font(QStringLiteral("DejaVu Serif"), 14, QFont::Normal, true);
    font.setUnderline(true);
    font.setStrikeOut(true);
    font.setStyleHint(QFont::Serif);
    return font;
}

void changeEveryField(Preferences *prefs)
{
    prefs->setPlaylistWindowWidth(301);
    prefs->setPlaylistWindowHeight(302);
    prefs->setPlaylistVisible(true);
    prefs->setRepeatPlaylist(true);
    prefs->setAutoPlay(false);
    prefs->setDisableScreenSaver(false);
    prefs->setMainWindowPosition(-2, 1024);
    prefs->setPlaylistWindowPosition(51, 68);
    prefs->setMp3DecoderModule(QStringLiteral("mp3"));
    prefs->setInteractiveMediaModule(QLatin1String(""));
    prefs->setSoundOutputModule(QString());
    prefs->setBackgroundColor(QColor(0x10, 0x20, 0x30));
    prefs->setNextBufferSize(7);
    prefs->setHighlightColor(Qt::green);
    prefs->setLastDirectory(changedDirectory);
    prefs->setLastFile(QStringLiteral("C:\\Karaoke\\track 1.mp3"));
    prefs->setNormalColor(QColor(0xab, 0xcd, 0xef));
    prefs->setLyricsFont(changedFont());
    prefs->setNextBufferCount(9);
    prefs->setMainWindowHeight(400);
    prefs->setMainWindowWidth(800);
}

// Every field as the store reports it, in the record's order (the font apart), then the buffer
// settings in effect; strings quoted, a null string as null.
QString fieldsOf(const Preferences *p)
{
    const auto text = [](const QString &s) {
        return s.isNull() ? QStringLiteral("null") : '"' + s + '"';
    };
    const auto point = [](QPoint at) { return QStringLiteral("%1,%2").arg(at.x()).arg(at.y()); };
    const auto size = [](int width, int height) {
        return QStringLiteral("%1x%2").arg(width).arg(height);
    };
    const auto colour = [](const QColor &c) { return c.name(QColor::HexArgb); };
    return QStringList{QString::number(p->playlistVisible()),
                       QString::number(p->repeatPlaylist()),
                       QString::number(p->autoPlay()),
                       QString::number(p->disableScreenSaver()),
                       point(p->mainWindowPosition()),
                       point(p->playlistWindowPosition()),
                       text(p->mp3DecoderModule()),
                       text(p->interactiveMediaModule()),
                       text(p->soundOutputModule()),
                       colour(p->backgroundColor()),
                       QString::number(p->nextBufferSize()),
                       colour(p->highlightColor()),
                       text(p->lastDirectory()),
                       text(p->lastFile()),
                       colour(p->normalColor()),
                       QString::number(p->nextBufferCount()),
                       size(p->mainWindowWidth(), p->mainWindowHeight()),
                       size(p->playlistWindowWidth(), p->playlistWindowHeight()),
                       size(p->bufferSize(), p->bufferCount())}
        .join(' ');
}

QString defaultFields(const QString &lastDirectory)
{
    return QStringLiteral("0 0 1 1 10,10 10,300 \"KWO MP3 Decoder\" \"KWO Interactive Content "
                          "Decoder\" \"SDL 1.0.8 Sound Output\" #ff000000 20 #ffff0000 \"%1\" \"\" "
                          "#ffffffff 20 500x250 250x250 20x20")
        .arg(lastDirectory);
}

const QString changedFields = QStringLiteral(
    "1 1 0 0 -2,1024 51,68 \"mp3\" \"\" null #ff102030 7 #ff00ff00 \"/srv/Lieder \u03a9/\" "
    "\"track 1.mp3\" #ffabcdef 9 800x400 301x302 7x9");

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Accepts every message box that opens while it lives, remembering what each said.
class BoxCloser
{
public:
    BoxCloser()
    {
        timer.setInterval(0);
        QObject::connect(&timer, &QTimer::timeout, &timer, [this] {
            for (QWidget *widget : QApplication::topLevelWidgets()) {
                auto *box = qobject_cast<QMessageBox *>(widget);
                if (box && box->isVisible()) {
                    seen << box->windowTitle() + QLatin1Char('|') + box->text();
                    box->accept();
                }
            }
        });
        timer.start();
    }
    QStringList seen;

private:
    QTimer timer;
};

QString boxFor(const QString &fileName)
{
    return QLatin1String("File ERROR|Unable to write to the file: ") + fileName +
           QLatin1String(" Please check to see if you have write permision to this file");
}

} // namespace

class PreferencesTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void recordWrittenAndReadBack_data();
    void recordWrittenAndReadBack();
    void damagedFileGetsDefaults_data();
    void damagedFileGetsDefaults();
    void flagStoredAsTwo();
    void setLastFile_data();
    void setLastFile();
    void nextBuffersTakeEffectClamped_data();
    void nextBuffersTakeEffectClamped();
    void playlistSizeKeptInMemoryUntilReload();
    void unwritableFileReportsEverySetter_data();
    void unwritableFileReportsEverySetter();
    void unwritableFolderAtStart();
    void failedWriteKeepsOldFile();
    void standardFileName_data();
    void standardFileName();

private:
    Preferences *create(const QString &fileName);
    QString path(const QString &name) const { return home->filePath(name); }
    QString file() const { return path(QStringLiteral("VantrelKivo.preferences")); }

    std::unique_ptr<QTemporaryDir> home;
    QString defaultDirectory;
};

void PreferencesTest::initTestCase()
{
    QVERIFY(SingleInstance<Preferences>::createClassMutex());
}

// Each test runs in a fresh home and configuration folder, so the default last directory (the
// home folder, having no Music folder) is known.
void PreferencesTest::init()
{
    home = std::make_unique<QTemporaryDir>();
    QVERIFY(home->isValid());
    qputenv("HOME", QFile::encodeName(home->path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home->filePath(QStringLiteral(".config"))));
    defaultDirectory = home->path() + QLatin1Char('/');
}

void PreferencesTest::cleanup()
{
    if (Preferences::hasAnInstance())
        delete Preferences::Instance();
    QVERIFY(!Preferences::hasAnInstance());
}

Preferences *PreferencesTest::create(const QString &fileName)
{
    if (Preferences::hasAnInstance())
        delete Preferences::Instance();
    return Preferences::Instance(fileName);
}

void PreferencesTest::recordWrittenAndReadBack_data()
{
    QTest::addColumn<bool>("musicFolder");
    QTest::addColumn<bool>("changed");
    QTest::addRow("first start, home folder") << false << false;
    QTest::addRow("first start, Music folder") << true << false;
    QTest::addRow("every field changed") << false << true;
}

// The record our writer makes against the bytes written out above, then a second start reading
// it back, which leaves the file as it was.
void PreferencesTest::recordWrittenAndReadBack()
{
    QFETCH(bool, musicFolder);
    QFETCH(bool, changed);
    if (musicFolder) {
        QVERIFY(QDir(home->path()).mkdir(QStringLiteral("Music")));
        defaultDirectory = home->filePath(QStringLiteral("Music/"));
    }
    const QByteArray record = changed ? changedRecord() : defaultRecord(defaultDirectory);
    Preferences *prefs = create(file());
    if (changed)
        changeEveryField(prefs);
    QCOMPARE(readAll(file()).toHex(' '), record.toHex(' '));

    prefs = create(file());
    QCOMPARE(fieldsOf(prefs), changed ? changedFields : defaultFields(defaultDirectory));
    QCOMPARE(prefs->lyricsFont(),
             changed ? changedFont() : QFont(QStringLiteral("Arial"), 20, QFont::Bold));
    QCOMPARE(readAll(file()), record);
}

void PreferencesTest::damagedFileGetsDefaults_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("exists");

    const QByteArray good = changedRecord();
    const int directoryAt = good.indexOf(string16(changedDirectory));
    const int fontAt = good.indexOf(string16(QStringLiteral("DejaVu Serif")));
    QByteArray patched;

    QTest::addRow("no file") << QByteArray() << false;
    QTest::addRow("empty file") << QByteArray() << true;
    QTest::addRow("wrong tag") << hex("0000000E") + good.mid(4) << true;
    QTest::addRow("tag little-endian") << hex("0F000000") + good.mid(4) << true;
    QTest::addRow("cut inside the tag") << good.left(3) << true;
    QTest::addRow("tag only") << good.left(4) << true;
    QTest::addRow("cut inside a flag") << good.left(14) << true;
    QTest::addRow("cut inside a string") << good.left(directoryAt + 9) << true;
    QTest::addRow("cut inside the font") << good.left(fontAt + 28) << true;
    QTest::addRow("last byte missing") << good.left(good.size() - 1) << true;

    patched = good;
    patched.replace(directoryAt, 4, hex("7FFFFFFE"));
    QTest::addRow("string longer than the file") << patched << true;
    patched = good;
    patched.replace(directoryAt, 4, hex("FFFFFFFE"));
    QTest::addRow("string of 4 GiB") << patched << true;
    patched = good;
    patched.replace(directoryAt, 4, int32(qint32(changedDirectory.size() * 2 - 1)));
    QTest::addRow("odd string byte count") << patched << true;
    patched = good;
    patched.replace(fontAt, 4, hex("7FFFFFF0"));
    QTest::addRow("font family longer than the file") << patched << true;
}

// Defaults replace whatever was there, and nothing of a half-read record survives.
void PreferencesTest::damagedFileGetsDefaults()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, exists);
    if (exists)
        QVERIFY(writeAll(file(), content));

    Preferences *prefs = create(file());
    QCOMPARE(fieldsOf(prefs), defaultFields(defaultDirectory));
    QCOMPARE(readAll(file()), defaultRecord(defaultDirectory));

    // The same file at a reload, after a store has changed fields in memory.
    changeEveryField(prefs);
    QVERIFY(exists ? writeAll(file(), content) : QFile::remove(file()));
    prefs->reload();
    QCOMPARE(fieldsOf(prefs), defaultFields(defaultDirectory));
    QCOMPARE(prefs->lyricsFont(), QFont(QStringLiteral("Arial"), 20, QFont::Bold));
    QCOMPARE(readAll(file()), defaultRecord(defaultDirectory));
}

void PreferencesTest::flagStoredAsTwo()
{
    QByteArray content = defaultRecord(defaultDirectory);
    content.replace(4, 4, hex("00000002")); // playlistVisible
    content.replace(8, 4, hex("80000000")); // repeatPlaylist: the sign bit alone
    QVERIFY(writeAll(file(), content));

    Preferences *prefs = create(file());
    QVERIFY(prefs->playlistVisible());
    QVERIFY(prefs->repeatPlaylist());
    QCOMPARE(readAll(file()), content); // reading writes nothing

    prefs->setAutoPlay(true);
    QCOMPARE(readAll(file()).mid(4, 8), hex("00000001 00000001"));
}

void PreferencesTest::setLastFile_data()
{
    QTest::addColumn<QString>("given");
    QTest::addColumn<QString>("stored");
    QTest::addRow("backslashes") << "C:\\Music\\Band\\song.mp3"
                                 << "song.mp3";
    QTest::addRow("slashes only") << "/home/user/Music/song.mp3"
                                  << "/home/user/Music/song.mp3";
    QTest::addRow("mixed") << "/home/user/odd\\name.mp3"
                           << "name.mp3";
    QTest::addRow("bare name") << "list.playlist"
                               << "list.playlist";
    QTest::addRow("trailing backslash") << "C:\\Music\\"
                                        << "";
}

void PreferencesTest::setLastFile()
{
    QFETCH(QString, given);
    QFETCH(QString, stored);
    Preferences *prefs = create(file());
    prefs->setLastFile(given);
    QCOMPARE(prefs->lastFile(), stored);
    QCOMPARE(create(file())->lastFile(), stored);
}

void PreferencesTest::nextBuffersTakeEffectClamped_data()
{
    QTest::addColumn<int>("nextSize");
    QTest::addColumn<int>("nextCount");
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("count");
    QTest::addRow("in range") << 30 << 12 << 30 << 12;
    QTest::addRow("at the limits") << 1 << 6 << 1 << 6;
    QTest::addRow("at the upper limits") << 56 << 40 << 56 << 40;
    QTest::addRow("zero") << 0 << 0 << 1 << 6;
    QTest::addRow("negative") << -5 << -100 << 1 << 6;
    QTest::addRow("just above") << 57 << 41 << 56 << 40;
    QTest::addRow("huge") << 0x7fffffff << 0x7fffffff << 56 << 40;
}

// The next-song values take effect at reload or creation, clamped; the stored values stay as
// they are.
void PreferencesTest::nextBuffersTakeEffectClamped()
{
    QFETCH(int, nextSize);
    QFETCH(int, nextCount);
    QFETCH(int, size);
    QFETCH(int, count);
    Preferences *prefs = create(file());
    prefs->setNextBufferSize(nextSize);
    prefs->setNextBufferCount(nextCount);
    QCOMPARE(prefs->bufferSize(), 20);
    QCOMPARE(prefs->bufferCount(), 20);
    for (bool restart : {false, true}) {
        if (restart)
            prefs = create(file());
        else
            prefs->reload();
        QCOMPARE(prefs->bufferSize(), size);
        QCOMPARE(prefs->bufferCount(), count);
        QCOMPARE(prefs->nextBufferSize(), nextSize);
        QCOMPARE(prefs->nextBufferCount(), nextCount);
    }
}

void PreferencesTest::playlistSizeKeptInMemoryUntilReload()
{
    Preferences *prefs = create(file());
    const QByteArray before = readAll(file());
    prefs->setPlaylistWindowWidth(640);
    prefs->setPlaylistWindowHeight(480);
    QCOMPARE(prefs->playlistWindowWidth(), 640);
    QCOMPARE(prefs->playlistWindowHeight(), 480);
    QCOMPARE(readAll(file()), before);

    prefs->reload();
    QCOMPARE(prefs->playlistWindowWidth(), 250);
    QCOMPARE(prefs->playlistWindowHeight(), 250);
}

void PreferencesTest::unwritableFileReportsEverySetter_data()
{
    QTest::addColumn<bool>("permissionBits");
    QTest::addRow("read-only file") << true;
    QTest::addRow("folder turned into a file") << false;
}

// Every writing setter shows the box once and still changes the value for the run; the next
// start has the file's values again.
void PreferencesTest::unwritableFileReportsEverySetter()
{
    QFETCH(bool, permissionBits);
    if (permissionBits && geteuid() == 0)
        QSKIP("permission bits do not stop the superuser");
    const QString folder = path(QStringLiteral("config"));
    const QString file = folder + QStringLiteral("/VantrelKivo.preferences");
    QVERIFY(QDir().mkpath(folder));
    Preferences *prefs = create(file);
    if (permissionBits) {
        QVERIFY(QFile::setPermissions(file, QFile::ReadOwner));
    } else {
        QVERIFY(QDir().rename(folder, path(QStringLiteral("moved"))));
        QVERIFY(writeAll(folder, "not a folder"));
    }

    BoxCloser boxes;
    changeEveryField(prefs);
    // Every setter but the two of the playlist window's size writes: 19 boxes.
    QCOMPARE(boxes.seen, QStringList(19, boxFor(file)));
    // in memory for the run; the buffers in effect wait for a reload
    QCOMPARE(fieldsOf(prefs), QString(changedFields).replace("7x9", "20x20"));

    if (permissionBits) {
        QVERIFY(QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner));
    } else {
        QVERIFY(QFile::remove(folder));
        QVERIFY(QDir().rename(path(QStringLiteral("moved")), folder));
    }
    QCOMPARE(readAll(file), defaultRecord(defaultDirectory));
    QCOMPARE(fieldsOf(create(file)), defaultFields(defaultDirectory));
    QCOMPARE(boxes.seen.size(), 19);
}

void PreferencesTest::unwritableFolderAtStart()
{
    QVERIFY(writeAll(path(QStringLiteral("plain")), "a file where a folder should be"));
    const QString file = path(QStringLiteral("plain/VantrelKivo.preferences"));
    BoxCloser boxes;
    Preferences *prefs = create(file);
    QVERIFY(prefs);
    QCOMPARE(boxes.seen, QStringList{boxFor(file)});
    QCOMPARE(prefs->mainWindowWidth(), 500);
    QCOMPARE(prefs->bufferCount(), 20);
}

// A write that fails halfway (here: the file-size limit, as on a full disk) is reported and
// leaves the previous file whole.
void PreferencesTest::failedWriteKeepsOldFile()
{
    Preferences *prefs = create(file());
    const QByteArray before = readAll(file());

    rlimit saved{};
    QVERIFY(getrlimit(RLIMIT_FSIZE, &saved) == 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 100;
    QVERIFY(setrlimit(RLIMIT_FSIZE, &small) == 0);
    BoxCloser boxes;
    prefs->setLastDirectory(QString(200, QLatin1Char('d')));
    QVERIFY(setrlimit(RLIMIT_FSIZE, &saved) == 0);
    std::signal(SIGXFSZ, oldHandler);

    QCOMPARE(boxes.seen, QStringList{boxFor(file())});
    QCOMPARE(readAll(file()), before);
    QCOMPARE(QDir(home->path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("VantrelKivo.preferences")});
}

void PreferencesTest::standardFileName_data()
{
    QTest::addColumn<QByteArray>("config");
    QTest::addColumn<QString>("expected");
    QTest::addRow("XDG_CONFIG_HOME set") << QByteArray("/cfg") << "/cfg";
    QTest::addRow("unset") << QByteArray() << "/.config";
    QTest::addRow("relative, ignored") << QByteArray("cfg") << "/.config";
}

void PreferencesTest::standardFileName()
{
    QFETCH(QByteArray, config);
    QFETCH(QString, expected);
    if (config.isEmpty()) {
        qunsetenv("XDG_CONFIG_HOME");
    } else {
        if (config.startsWith('/'))
            config.prepend(QFile::encodeName(home->path()));
        qputenv("XDG_CONFIG_HOME", config);
    }
    const QString folder = home->path() + expected + QStringLiteral("/VantrelKivo");
    const QString standard = folder + QStringLiteral("/VantrelKivo.preferences");
    QCOMPARE(Preferences::standardFileName(), standard);
    QVERIFY(QFileInfo(folder).isDir());
    // Instance() without a path uses that file.
    QVERIFY(Preferences::Instance());
    QCOMPARE(readAll(standard), defaultRecord(defaultDirectory));
}

QTEST_MAIN(PreferencesTest)
#include "tst_preferences.moc"
