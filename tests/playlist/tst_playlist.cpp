// The playlist: its file format byte by byte and against hostile files, M3U lists as other
// players write them, the window's operations as the user sees them (rows, buttons, changed()
// signals), opening by extension, drops, the close prompt and the reusable dialogs, all driven
// through object names.

#include "m3ureader.h"
#include "modalanswers.h"
#include "playlistfile.h"
#include "playlistmenu.h"
#include "playlisttoolbar.h"
#include "playlistwindow.h"
#include "preferences.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

namespace {

QByteArray hex(const char *digits)
{
    return QByteArray::fromHex(digits);
}

// The list holding only "C:/a.mp3".
const QByteArray oneSongFile = hex("00000000 00000001 00000010 0043003A002F0061002E006D00700033");

// "a *b c" as rows: the starred song behind the marker, the others behind nineteen blanks.
QStringList rowsOf(const QString &songs, const QString &folder = QString())
{
    QStringList rows;
    for (const QString &song : songs.split(' ', Qt::SkipEmptyParts)) {
        rows << (song.startsWith('*') ? "*PLAYING* " + folder + song.mid(1)
                                      : QString(19, ' ') + folder + song);
    }
    return rows;
}

} // namespace

class TestPlayList : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void goldenBytes_data();
    void goldenBytes();
    void hostileFiles_data();
    void hostileFiles();
    void writeFailureSaysWhy();
    void m3uFiles_data();
    void m3uFiles();
    void operations_data();
    void operations();
    void openFile_data();
    void openFile();
    void drops_data();
    void drops();
    void closePrompt_data();
    void closePrompt();
    void dialogs_data();
    void dialogs();
    void openOverAChangedList_data();
    void openOverAChangedList();

private:
    QListWidget *list() const { return window->findChild<QListWidget *>(); }
    QStringList rows() const;
    QAction *menuItem(const QString &text) const;
    QAbstractButton *button(const QString &name) const;
    // A menu item by its text, or a toolbar button by its text or object name.
    void press(const QString &name);
    // The enabled buttons, "|", the possible steps and whether repeat is checked.
    QString state() const;
    void fill(const QString &songs);
    void step(const QString &command);

    QTemporaryDir folder;
    Preferences *preferences = nullptr;
    PlayListWindow *window = nullptr;
};

void TestPlayList::initTestCase()
{
    QVERIFY(folder.isValid() && QDir::setCurrent(folder.path()));
    SingleInstance<Preferences>::createClassMutex();
    SingleInstance<PlayListToolbar>::createClassMutex();
    SingleInstance<PlayListMenu>::createClassMutex();
    SingleInstance<PlayListWindow>::createClassMutex();
    preferences = Preferences::Instance(folder.filePath("test.preferences"));
}

void TestPlayList::init()
{
    preferences->setRepeatPlaylist(false);
    preferences->setLastDirectory(folder.path() + '/');
    window = PlayListWindow::Instance();
    window->show();
}

void TestPlayList::cleanup()
{
    delete window;
    QVERIFY(!PlayListMenu::hasAnInstance() && !PlayListToolbar::hasAnInstance());
}

QStringList TestPlayList::rows() const
{
    QStringList texts;
    for (int row = 0; row < list()->count(); ++row)
        texts << list()->item(row)->text();
    return texts;
}

QAction *TestPlayList::menuItem(const QString &text) const
{
    const QList<QAction *> actions = window->menuBar()->findChildren<QAction *>();
    auto found = std::find_if(actions.begin(), actions.end(),
                              [&](QAction *action) { return action->text() == text; });
    return found == actions.end() ? nullptr : *found;
}

QAbstractButton *TestPlayList::button(const QString &name) const
{
    for (auto *button : window->findChildren<QAbstractButton *>()) {
        if (button->objectName() == name || button->text() == name)
            return button;
    }
    return nullptr;
}

void TestPlayList::press(const QString &name)
{
    if (QAction *item = menuItem(name))
        item->trigger();
    else
        QTest::mouseClick(button(name), Qt::LeftButton);
}

QString TestPlayList::state() const
{
    QStringList words;
    for (auto [name, word] : {std::pair{"Del Songs", "del"}, {"Move Song Up", "up"},
                              {"Move Song Down", "down"}}) {
        if (button(name)->isEnabled())
            words << word;
    }
    words << "|";
    if (window->canGoNext())
        words << "next";
    if (window->canGoPrevious())
        words << "previous";
    if (menuItem("&Repeat")->isChecked())
        words << "repeat";
    return words.join(' ');
}

// Adds the songs and makes the starred one current the way the user does: Return on its row.
void TestPlayList::fill(const QString &songs)
{
    const QStringList names = songs.split(' ', Qt::SkipEmptyParts);
    for (const QString &name : names)
        window->addSong(QString(name).remove('*'));
    if (!names.isEmpty()) {
        list()->setCurrentRow(std::max(0, int(names.indexOf(QRegularExpression("^\\*.*")))));
        QTest::keyClick(list(), Qt::Key_Return);
    }
}

// "add x" (as the add dialog delivers it), "del r", "up r", "down r", "select r", "next",
// "previous", "repeat".
void TestPlayList::step(const QString &command)
{
    const QString verb = command.section(' ', 0, 0);
    const QString argument = command.section(' ', 1);
    if (verb == "add") {
        emit PlayListToolbar::Instance(nullptr, nullptr)->add({argument});
    } else if (verb == "next" || verb == "previous") {
        verb == "next" ? window->goNext() : window->goPrevious();
    } else if (verb == "repeat") {
        press("&Repeat");
    } else {
        list()->setCurrentRow(argument.toInt());
        if (verb == "select")
            QTest::keyClick(list(), Qt::Key_Return);
        else
            press(verb == "del" ? "Del Songs" : verb == "up" ? "Move Song Up" : "Move Song Down");
    }
}

void TestPlayList::goldenBytes_data()
{
    QTest::addColumn<QStringList>("songs");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addRow("one path") << QStringList{"C:/a.mp3"} << oneSongFile;
    QTest::addRow("empty list") << QStringList() << hex("00000000 00000000");
    QTest::addRow("e acute") << QStringList{"/m/caf\u00e9.mp3"}
                             << hex("00000000 00000001 00000016"
                                    "002F 006D 002F 0063 0061 0066 00E9 002E 006D 0070 0033");
    QTest::addRow("Japanese and an emoji")
        << QStringList{QStringLiteral("/\u6b4c/\U0001F3A4.mp3"), "b"}
        << hex("00000000 00000002 00000012 002F 6B4C 002F D83C DFA4 002E 006D 0070 0033"
               "00000002 0062");
}

void TestPlayList::goldenBytes()
{
    QFETCH(QStringList, songs);
    QFETCH(QByteArray, bytes);
    QCOMPARE(PlayListFile::encode(songs), bytes);
    QStringList read{"old"};
    QVERIFY(PlayListFile::decode(bytes, read));
    QCOMPARE(read, songs);
}

void TestPlayList::hostileFiles_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("read"); // empty: the read fails
    QTest::addRow("wrong tag") << hex("00000001 00000000") << QStringList();
    QTest::addRow("cut inside a length")
        << hex("00000000 00000002 00000002 0041 0000") << QStringList();
    QTest::addRow("cut inside a string") << hex("00000000 00000001 00000004 0041") << QStringList();
    QTest::addRow("count 2^31-1, 3 bytes") << hex("00000000 7FFFFFFF 000000") << QStringList();
    QTest::addRow("odd string length") << hex("00000000 00000001 00000003 004100") << QStringList();
    QTest::addRow("trailing bytes ignored")
        << hex("00000000 00000001 00000002 0041 DEADBEEF") << QStringList{"A"};
    QTest::addRow("null entry") << hex("00000000 00000001 FFFFFFFF") << QStringList{""};
}

void TestPlayList::hostileFiles()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, read);
    QStringList songs{"kept"};
    QCOMPARE(PlayListFile::decode(bytes, songs), !read.isEmpty());
    QCOMPARE(songs, read.isEmpty() ? QStringList{"kept"} : read);
}

// A save cut short, as on a full disk (here by the file-size limit), says the system's reason,
// and the old file stays whole.
void TestPlayList::writeFailureSaysWhy()
{
    QString why;
    QVERIFY(PlayListFile::write("full.playlist", {"old"}, why));
    std::signal(SIGXFSZ, SIG_IGN); // a write past the limit fails instead
    rlimit saved{};
    QVERIFY(getrlimit(RLIMIT_FSIZE, &saved) == 0);
    const rlimit lowered{100, saved.rlim_max};
    QVERIFY(setrlimit(RLIMIT_FSIZE, &lowered) == 0);
    const bool written = PlayListFile::write("full.playlist", QStringList(20, "/m/a.mp3"), why);
    QVERIFY(setrlimit(RLIMIT_FSIZE, &saved) == 0);
    QVERIFY(!written);
    QCOMPARE(why, "File too large");
    QStringList kept;
    QVERIFY(PlayListFile::read("full.playlist", kept, why));
    QCOMPARE(kept, QStringList{"old"});
}

void TestPlayList::m3uFiles_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("songs"); // relative ones in the test's folder
    QTest::addColumn<QString>("failure");   // empty: the read succeeds
    QTest::addRow("comments, relative, absolute, BOM")
        << "list.m3u8"
        << QByteArray("\xef\xbb\xbf#EXTM3U\n#EXTINF:61,A - B\na.mp3\n\nsub/../b.mp3\n/m/c.mp3\n")
        << QStringList{"a.mp3", "b.mp3", "/m/c.mp3"} << "";
    QTest::addRow("file URLs with escapes; other URLs skipped")
        << "urls.m3u"
        << QByteArray("file:///m/My%20Song%20%C3%A9.mp3\nFILE://localhost/m/%23.mp3\n"
                      "file:rel.mp3\nhttp://radio.example/stream\n")
        << QStringList{"/m/My Song \u00e9.mp3", "/m/#.mp3", "rel.mp3"} << "";
    QTest::addRow("CRLF, blanks, Windows separators")
        << "crlf.m3u" << QByteArray("#EXTM3U\r\n sub\\a.mp3 \r\n\r\nb.mp3\r\n")
        << QStringList{"sub/a.mp3", "b.mp3"} << "";
    QTest::addRow("UTF-8 .m3u") << "utf8.m3u" << QByteArray("Caf\xc3\xa9 d\xc3\xa9j\xc3\xa0.mp3")
                                << QStringList{"Caf\u00e9 d\u00e9j\u00e0.mp3"} << "";
    QTest::addRow("Latin-1 .m3u")
        << "latin1.m3u"
        << QByteArray("Chansons fran\xe7\x61ises/Caf\xe9 de la gare.mp3\n"
                      "D\xe9j\xe0 vu, \xe9t\xe9.mp3\n")
        << QStringList{"Chansons fran\u00e7aises/Caf\u00e9 de la gare.mp3",
                       "D\u00e9j\u00e0 vu, \u00e9t\u00e9.mp3"}
        << "";
    QTest::addRow("UTF-16 with BOM") << "utf16.m3u" << hex("FFFE 6100 2E00 6D00 7000 3300")
                                     << QStringList{"a.mp3"} << "";
    QTest::addRow("empty") << "empty.m3u" << QByteArray() << QStringList() << "";
    QTest::addRow("huge line, control characters skipped")
        << "huge.m3u8" << QByteArray(1 << 20, 'x') + "\na\tb.mp3\nc\x01.mp3\nd.mp3"
        << QStringList{"d.mp3"} << "";
    QTest::addRow("NULs: not text") << "nul.m3u" << QByteArray("a.mp3\n\0\0\0\x7f\x45LF\xff\n", 14)
                                    << QStringList() << "It is not a text file.";
    QTest::addRow("too large") << "large.m3u" << QByteArray(M3uReader::maxBytes + 1, '#')
                               << QStringList() << "It is too large to be a playlist.";
    QTest::addRow("entries past the limit ignored")
        << "long.m3u" << QByteArray("a.mp3\n").repeated(M3uReader::maxEntries + 1)
        << QStringList(M3uReader::maxEntries, "a.mp3") << "";
}

void TestPlayList::m3uFiles()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, songs);
    QFETCH(QString, failure);
    QFile file(name);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    file.close();
    for (QString &song : songs)
        song = QDir(folder.path()).absoluteFilePath(song);
    if (songs.size() == M3uReader::maxEntries)
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Only the first"));
    QStringList read{"kept"};
    QString why;
    QCOMPARE(M3uReader::read(name, read, why), failure.isEmpty());
    QCOMPARE(why, failure);
    QCOMPARE(read, failure.isEmpty() ? songs : QStringList{"kept"});
}

void TestPlayList::operations_data()
{
    QTest::addColumn<QString>("songs");
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QString>("after");
    QTest::addColumn<int>("changes");
    QTest::addColumn<QString>("state");
    QTest::addRow("add to empty") << "" << "add a" << "*a" << 1 << "del down |";
    QTest::addRow("add second") << "*a" << "add b" << "*a b" << 1 << "del down | next";
    QTest::addRow("del middle, current") << "a *b c" << "del 1" << "a *c" << 1
                                         << "del up | previous";
    QTest::addRow("del last, current") << "a b *c" << "del 2" << "a *b" << 1
                                       << "del up | previous";
    QTest::addRow("del only") << "*a" << "del 0" << "" << 1 << "|";
    QTest::addRow("del above current") << "a *b c" << "del 0" << "*b c" << 1 << "del down | next";
    QTest::addRow("up across current") << "a *b c" << "up 2" << "a c *b" << 1
                                       << "del up down | previous";
    QTest::addRow("up current") << "a b *c" << "up 2" << "a *c b" << 1
                                << "del up down | next previous";
    QTest::addRow("down current") << "*a b c" << "down 0" << "b *a c" << 1
                                  << "del up down | next previous";
    QTest::addRow("down across current") << "a b *c" << "down 1" << "a *c b" << 1
                                         << "del up | next previous";
    QTest::addRow("next") << "*a b c" << "next" << "a *b c" << 2 << "del up down | next previous";
    QTest::addRow("next at the end") << "a b *c" << "next" << "a b *c" << 1
                                     << "del up | previous";
    QTest::addRow("next wraps") << "a b *c" << "repeat;next" << "*a b c" << 3
                                << "del down | next previous repeat";
    QTest::addRow("previous at the start") << "*a b c" << "previous" << "*a b c" << 1
                                           << "del down | next";
    QTest::addRow("previous wraps") << "*a b c" << "repeat;previous" << "a b *c" << 3
                                    << "del up | next previous repeat";
    QTest::addRow("one song, repeat") << "*a" << "repeat;next;previous" << "*a" << 5
                                      << "del | next previous repeat";
    QTest::addRow("repeat off again") << "a *b" << "repeat;repeat;next" << "a *b" << 3
                                      << "del up | previous";
    QTest::addRow("select") << "*a b c" << "select 2" << "a b *c" << 1 << "del up | previous";
    QTest::addRow("empty, repeat") << "" << "repeat" << "" << 1 << "| repeat";
}

void TestPlayList::operations()
{
    QFETCH(QString, songs);
    QFETCH(QString, steps);
    QFETCH(QString, after);
    QFETCH(int, changes);
    QFETCH(QString, state);
    fill(songs);
    QSignalSpy changed(window, &PlayListWindow::changed);
    for (const QString &command : steps.split(';', Qt::SkipEmptyParts))
        step(command);

    QCOMPARE(rows(), rowsOf(after));
    const qsizetype star = after.indexOf('*');
    QCOMPARE(window->currentSongFile(),
             star < 0 ? QString() : after.mid(star + 1).section(' ', 0, 0));
    QCOMPARE(changed.count(), changes);
    QCOMPARE(this->state(), state);
    QCOMPARE(preferences->repeatPlaylist(), state.endsWith("repeat"));
}

void TestPlayList::openFile_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("bytes"); // the file written there first, if any
    QTest::addColumn<QString>("box");      // "ObjectName|caption|text begins", or "log"
    QTest::addColumn<QString>("after");
    QTest::addColumn<int>("changes");
    const QString unreadable = "PlayListFileErrorBox|File ERROR|Unable to read the playlist file: ";
    QTest::addRow("MP3 in capitals") << "SONG.MP3" << QByteArray() << "" << "*SONG.MP3" << 3;
    QTest::addRow("playlist in capitals")
        << "Mix.PLAYLIST" << PlayListFile::encode({"a", "b"}) << "" << "*a b" << 4;
    QTest::addRow("dot in a folder") << "music.dir/list" << QByteArray()
                                     << "PlayListUnknownFileTypeBox|Unknown file type|The file: "
                                        "music.dir/listhas an unknown extension!\nPlease use "
                                        ".mp3 or .playlist files."
                                     << "*old.mp3" << 0;
    QTest::addRow("missing playlist")
        << "gone.playlist" << QByteArray() << unreadable + "gone.playlist\n" << "*old.mp3" << 0;
    QTest::addRow("damaged playlist") << "bad.playlist" << hex("00000000 00000002 00000000")
                                      << unreadable + "bad.playlist\n" << "*old.mp3" << 0;
    QTest::addRow("start-up reopen, file gone")
        << "gone.playlist" << QByteArray() << "log" << "*old.mp3" << 0;
}

void TestPlayList::openFile()
{
    QFETCH(QString, path);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, box);
    QFETCH(QString, after);
    QFETCH(int, changes);
    QFile file(path);
    QVERIFY(bytes.isEmpty() || (file.open(QIODevice::WriteOnly) && file.write(bytes)));
    file.close();
    window->addSong("old.mp3");
    QSignalSpy changed(window, &PlayListWindow::changed);
    const bool boxed = box.contains('|');
    QStringList steps;
    if (box != "log" && PlayListFile::kindOf(path) != PlayListFile::Kind::Song &&
        PlayListFile::kindOf(path) != PlayListFile::Kind::Unknown)
        steps << "PlayListChangedBox=no"; // "old.mp3" was added
    if (boxed)
        steps << box.section('|', 0, 0) + "=ok";
    Answers answers(steps);
    if (box == "log") {
        preferences->setLastFile(path);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("playlist file: gone.playlist"));
        window->reopenLastFile();
    } else {
        window->openFile(path);
    }

    QCOMPARE(answers.steps.join(','), QString());
    QCOMPARE(answers.unexpected.join(','), QString());
    if (boxed)
        QVERIFY2(answers.texts.last().startsWith(box.section('|', 1)),
                 qPrintable(answers.texts.last()));
    QCOMPARE(rows(), rowsOf(after));
    QCOMPARE(changed.count(), changes);
}

void TestPlayList::drops_data()
{
    QTest::addColumn<QStringList>("files"); // dropped from the test's folder
    QTest::addColumn<QString>("after");
    QTest::addColumn<bool>("prompt"); // closing then asks to save the list
    QTest::addRow("two songs appended") << QStringList{"one.mp3", "notes.txt", "two.mp3"}
                                        << "*a /one.mp3 /two.mp3" << true;
    QTest::addRow("a .playlist opens") << QStringList{"mix.playlist"} << "*a b" << false;
    QTest::addRow("an M3U list opens, changed") << QStringList{"mix.m3u"} << "*/c.mp3" << true;
    QTest::addRow("nothing to open") << QStringList{"notes.txt"} << "*a" << false;
}

void TestPlayList::drops()
{
    QFETCH(QStringList, files);
    QFETCH(QString, after);
    QFETCH(bool, prompt);
    for (auto [name, bytes] : {std::pair{"start.playlist", PlayListFile::encode({"a"})},
                               {"mix.playlist", PlayListFile::encode({"a", "b"})},
                               {"mix.m3u", QByteArray("#EXTM3U\nc.mp3\n")}}) {
        QFile file{QLatin1String(name)};
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    }
    window->openFile("start.playlist"); // "*a", unchanged since loaded
    QMimeData data;
    QList<QUrl> urls;
    for (const QString &file : files)
        urls << QUrl::fromLocalFile(folder.filePath(file));
    data.setUrls(urls);
    QDragEnterEvent enter({5, 5}, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window, &enter);
    QCOMPARE(enter.isAccepted(), after != "*a");
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window, &drop);
    QCoreApplication::processEvents(); // the drop is carried out once it has returned
    QCOMPARE(rows(), rowsOf(after.replace("/", folder.path() + '/')));

    Answers answers(prompt ? QStringList{"PlayListChangedBox=no"} : QStringList());
    QVERIFY(window->close());
    QCOMPARE(answers.steps.join(','), QString());
    QCOMPARE(answers.unexpected.join(','), QString());
}

void TestPlayList::closePrompt_data()
{
    QTest::addColumn<bool>("changed");
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<bool>("saved");
    const QString prompt = "PlayListChangedBox=";
    const QString dialog = "PlayListMenuSavePlayListDialog=";
    QTest::addRow("unchanged") << false << QStringList() << false;
    QTest::addRow("yes, saved") << true << QStringList{prompt + "yes", dialog + "choose:saved"}
                                << true;
    QTest::addRow("no") << true << QStringList{prompt + "no"} << false;
    QTest::addRow("cancel: stays open") << true << QStringList{prompt + "cancel"} << false;
    QTest::addRow("yes, cancelled") << true << QStringList{prompt + "yes", dialog + "cancel"}
                                    << false;
    QTest::addRow("yes, save fails")
        << true
        << QStringList{prompt + "yes", dialog + "choose:missing/saved", "PlayListFileErrorBox=ok"}
        << false;
}

void TestPlayList::closePrompt()
{
    QFETCH(bool, changed);
    QFETCH(QStringList, answers);
    QFETCH(bool, saved);
    QFile::remove("saved.playlist");
    preferences->setLastFile("before");
    if (changed)
        window->openFile("C:/a.mp3");
    QSignalSpy closing(window, &PlayListWindow::closing);
    const bool cancelled = answers.contains("PlayListChangedBox=cancel");
    {
        Answers first(answers);
        QCOMPARE(window->close(), !cancelled);
        QCOMPARE(window->isVisible(), cancelled);
        QCOMPARE(first.steps.join(','), QString());
        QCOMPARE(first.unexpected.join(','), QString());
        if (answers.contains("PlayListFileErrorBox=ok"))
            QVERIFY2(first.texts.last().contains(folder.filePath("missing/saved.playlist")),
                     qPrintable(first.texts.last()));
    }
    QCOMPARE(closing.count(), cancelled ? 0 : 1);
    QFile file("saved.playlist");
    QCOMPARE(file.open(QIODevice::ReadOnly), saved);
    if (saved)
        QCOMPARE(file.readAll(), oneSongFile);
    QCOMPARE(preferences->lastFile(), saved ? folder.filePath("saved.playlist") : "before");

    // A list that was not saved is still offered for saving at the next close.
    window->show();
    Answers second(changed && !saved ? QStringList{"PlayListChangedBox=no"} : QStringList());
    QVERIFY(window->close());
    QCOMPARE(second.steps.join(','), QString());
    QCOMPARE(second.unexpected.join(','), QString());
}

void TestPlayList::dialogs_data()
{
    QTest::addColumn<QString>("trigger");
    QTest::addColumn<QString>("dialog");
    QTest::addColumn<QString>("filters"); // "|" between choices
    QTest::addColumn<QStringList>("chosen");
    QTest::addColumn<QString>("after"); // empty: saved, a suffix other than ".playlist" kept
    const QStringList songs{"one.mp3", "two.mp3"};
    QTest::addRow("open") << "&Open" << "PlayListMenuOpenFileDialog"
                          << "*.mp3 *.playlist|M3U playlists (*.m3u *.m3u8)|Karaoke (*.mp3 *.zip)" << songs
                          << "*two.mp3";
    QTest::addRow("add") << "Add Files" << "PlayListToolbarAddFileDialog" << "*.mp3|Karaoke (*.mp3 *.zip)" << songs
                         << "*one.mp3 two.mp3";
    // Folders among them stand for their songs, subfolders first, in natural name order.
    QTest::addRow("add several and folders")
        << "Add Files" << "PlayListToolbarAddFileDialog" << "*.mp3|Karaoke (*.mp3 *.zip)"
        << QStringList{R"("two.mp3" "one.mp3")", R"("two.mp3" "album")"}
        << "*one.mp3 two.mp3 album/cd2/x.mp3 album/track2.mp3 album/track10.mp3 two.mp3";
    QTest::addRow("save") << "&Save" << "PlayListMenuSavePlayListDialog" << "*.playlist"
                          << QStringList{"first.txt", "second.PLAYLIST"} << "";
}

void TestPlayList::dialogs()
{
    QFETCH(QString, trigger);
    QFETCH(QString, dialog);
    QFETCH(QString, filters);
    QFETCH(QStringList, chosen);
    QFETCH(QString, after);
    QVERIFY(QDir().mkpath("album/cd2"));
    for (const char *name : {"one.mp3", "two.mp3", "album/track10.mp3", "album/track2.mp3",
                             "album/cover.jpg", "album/cd2/x.mp3"}) {
        QFile song{QLatin1String(name)};
        QVERIFY(song.open(QIODevice::WriteOnly));
    }
    Answers answers({dialog + "=choose:" + chosen[0], dialog + "=choose:" + chosen[1]});
    press(trigger);
    press(trigger);
    QCOMPARE(answers.steps.join(','), QString());
    QCOMPARE(answers.unexpected.join(','), QString());
    QCOMPARE(answers.seen[0], answers.seen[1]);
    QCOMPARE(static_cast<QFileDialog *>(answers.seen[0])->nameFilters(), filters.split('|'));
    QCOMPARE(rows(), rowsOf(after, folder.path() + '/'));
    QCOMPARE(preferences->lastDirectory(), folder.path() + '/');
    QCOMPARE(QFile::exists(chosen[1] + ".playlist"), after.isEmpty());
}

void TestPlayList::openOverAChangedList_data()
{
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<QString>("after");
    QTest::addColumn<bool>("saved");
    const QString prompt = "PlayListChangedBox=";
    QTest::addRow("yes: saved, then opened")
        << QStringList{prompt + "yes", "PlayListMenuSavePlayListDialog=choose:saved"} << "*a b"
        << true;
    QTest::addRow("no: opened") << QStringList{prompt + "no"} << "*a b" << false;
    QTest::addRow("cancel: the changed list stays") << QStringList{prompt + "cancel"}
                                                    << "*C:/a.mp3" << false;
}

// A changed list is offered for saving before a list chosen from the menu replaces it.
void TestPlayList::openOverAChangedList()
{
    QFETCH(QStringList, answers);
    QFETCH(QString, after);
    QFETCH(bool, saved);
    QFile::remove("saved.playlist");
    QFile list("mix.playlist");
    QVERIFY(list.open(QIODevice::WriteOnly) && list.write(PlayListFile::encode({"a", "b"})) > 0);
    list.close();
    window->openFile("C:/a.mp3");
    Answers answer(QStringList{"PlayListMenuOpenFileDialog=choose:mix.playlist"} + answers);
    press("&Open");
    QCOMPARE(answer.steps.join(','), QString());
    QCOMPARE(answer.unexpected.join(','), QString());
    QCOMPARE(rows(), rowsOf(after));
    QCOMPARE(QFile::exists("saved.playlist"), saved);
}

QTEST_MAIN(TestPlayList)
#include "tst_playlist.moc"
