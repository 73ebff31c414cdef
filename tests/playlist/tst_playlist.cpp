// The playlist: its file format byte by byte and against hostile files, the window's operations
// as the user sees them (rows, buttons, changed() signals), opening by extension, the close
// prompt and the reusable dialogs, all driven through object names.

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
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

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
    void operations_data();
    void operations();
    void openFile_data();
    void openFile();
    void closePrompt_data();
    void closePrompt();
    void dialogs_data();
    void dialogs();

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
        emit PlayListToolbar::Instance(nullptr, nullptr)->add(argument);
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
    Answers answers(boxed ? QStringList{box.section('|', 0, 0) + "=ok"} : QStringList());
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
        QVERIFY2(answers.texts[0].startsWith(box.section('|', 1)), qPrintable(answers.texts[0]));
    QCOMPARE(rows(), rowsOf(after));
    QCOMPARE(changed.count(), changes);
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
    {
        Answers first(answers);
        QVERIFY(window->close());
        QCOMPARE(first.steps.join(','), QString());
        QCOMPARE(first.unexpected.join(','), QString());
        if (answers.contains("PlayListFileErrorBox=ok"))
            QVERIFY2(first.texts.last().contains(folder.filePath("missing/saved.playlist")),
                     qPrintable(first.texts.last()));
    }
    QCOMPARE(closing.count(), 1);
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
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QStringList>("chosen");
    QTest::addColumn<QString>("after"); // empty: saved, a suffix other than ".playlist" kept
    const QStringList songs{"one.mp3", "two.mp3"};
    QTest::addRow("open") << "&Open" << "PlayListMenuOpenFileDialog" << "*.mp3 *.playlist"
                          << songs << "*two.mp3";
    QTest::addRow("add") << "Add Files" << "PlayListToolbarAddFileDialog" << "*.mp3" << songs
                         << "*one.mp3 two.mp3";
    QTest::addRow("save") << "&Save" << "PlayListMenuSavePlayListDialog" << "*.playlist"
                          << QStringList{"first.txt", "second.PLAYLIST"} << "";
}

void TestPlayList::dialogs()
{
    QFETCH(QString, trigger);
    QFETCH(QString, dialog);
    QFETCH(QString, filter);
    QFETCH(QStringList, chosen);
    QFETCH(QString, after);
    for (const char *name : {"one.mp3", "two.mp3"}) {
        QFile song{QLatin1String(name)};
        QVERIFY(song.open(QIODevice::WriteOnly));
    }
    Answers answers({dialog + "=choose:" + chosen[0], dialog + "=choose:" + chosen[1]});
    press(trigger);
    press(trigger);
    QCOMPARE(answers.steps.join(','), QString());
    QCOMPARE(answers.unexpected.join(','), QString());
    QCOMPARE(answers.seen[0], answers.seen[1]);
    QCOMPARE(static_cast<QFileDialog *>(answers.seen[0])->nameFilters(), QStringList{filter});
    QCOMPARE(rows(), rowsOf(after, folder.path() + '/'));
    QCOMPARE(preferences->lastDirectory(), folder.path() + '/');
    QCOMPARE(QFile::exists(chosen[1] + ".playlist"), after.isEmpty());
}

QTEST_MAIN(TestPlayList)
#include "tst_playlist.moc"
