// The playlist: its file format byte by byte and against hostile files, the window's operations
// as the user sees them (rows, buttons, changed() signals), opening by extension, the close
// prompt and the reusable dialogs, all driven through object names.

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
#include <QToolButton>
#include <QtTest>

#include <functional>

namespace {

QByteArray hex(const char *digits)
{
    return QByteArray::fromHex(digits);
}

// Answers the modal windows as they come up, topmost first: each step names a window by its
// object name and says what to do there. Any other modal window is cancelled and noted.
class Answers : public QObject
{
public:
    explicit Answers(const QStringList &steps) : steps(steps)
    {
        connect(&timer, &QTimer::timeout, this, &Answers::poll);
        timer.start(5);
    }

    QStringList steps;      // "ObjectName=yes|no|ok|cancel|choose:file"
    QStringList unexpected; // object names of windows nobody asked for
    QStringList texts;      // "caption|text" of every box answered
    QList<QWidget *> seen;  // every window answered

private:
    // The answer runs from the event queue, not from the timer, so that the timer still fires
    // inside any modal window the answer opens in turn.
    void poll()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || answering)
            return;
        const QString step = steps.value(0);
        if (!step.startsWith(modal->objectName() + QLatin1Char('='))) {
            unexpected << modal->objectName();
            static_cast<QDialog *>(modal)->reject();
            return;
        }
        steps.removeFirst();
        seen << modal;
        answering = true;
        QMetaObject::invokeMethod(
            this, [this, modal, step] { answer(modal, step.section(QLatin1Char('='), 1)); },
            Qt::QueuedConnection);
    }

    void answer(QWidget *modal, const QString &action)
    {
        answering = false;
        if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            texts << box->windowTitle() + QLatin1Char('|') + box->text();
            const auto button = action == QLatin1String("yes") ? QMessageBox::Yes
                                : action == QLatin1String("no") ? QMessageBox::No
                                                                 : QMessageBox::Ok;
            box->button(button)->click();
        } else if (auto *dialog = qobject_cast<QFileDialog *>(modal)) {
            if (action.startsWith(QLatin1String("choose:"))) {
                // Typed, as the user does: selectFile() leaves a focused name field alone.
                dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))
                    ->setText(action.mid(7));
                static_cast<QDialog *>(dialog)->accept(); // QFileDialog::accept
            } else {
                dialog->reject();
            }
        }
    }

    bool answering = false;
    QTimer timer;
};

// "a *b c" as rows: the starred song behind the marker, the others behind nineteen blanks.
QStringList rowsOf(const QString &songs, const QString &folder = QString())
{
    QStringList rows;
    for (const QString &song : songs.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        rows << (song.startsWith(QLatin1Char('*')) ? QStringLiteral("*PLAYING* ") + folder +
                                                         song.mid(1)
                                                   : QString(19, QLatin1Char(' ')) + folder + song);
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
    void saveSuffix_data();
    void saveSuffix();
    void operations_data();
    void operations();
    void openFile_data();
    void openFile();
    void closePrompt_data();
    void closePrompt();
    void dialogs_data();
    void dialogs();
    void repeat();

private:
    QStringList rows() const;
    QListWidget *list() const { return window->findChild<QListWidget *>(); }
    QAbstractButton *button(const QString &name) const;
    QAction *menuAction(const QString &text) const;
    void fill(const QString &songs);
    void step(const QString &command);

    QTemporaryDir folder;
    Preferences *preferences = nullptr;
    PlayListWindow *window = nullptr;
};

void TestPlayList::initTestCase()
{
    QVERIFY(folder.isValid());
    QVERIFY(QDir::setCurrent(folder.path()));
    SingleInstance<Preferences>::createClassMutex();
    SingleInstance<PlayListToolbar>::createClassMutex();
    SingleInstance<PlayListMenu>::createClassMutex();
    SingleInstance<PlayListWindow>::createClassMutex();
    preferences = Preferences::Instance(folder.filePath(QStringLiteral("test.preferences")));
    QVERIFY(preferences);
}

void TestPlayList::init()
{
    preferences->setRepeatPlaylist(false);
    preferences->setLastDirectory(folder.path() + QLatin1Char('/'));
    window = PlayListWindow::Instance();
    QVERIFY(window);
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

QAbstractButton *TestPlayList::button(const QString &name) const
{
    for (auto *button : window->findChildren<QAbstractButton *>()) {
        if (button->objectName() == name || button->text() == name)
            return button;
    }
    return nullptr;
}

QAction *TestPlayList::menuAction(const QString &text) const
{
    for (QAction *action : window->menuBar()->findChildren<QAction *>()) {
        if (action->text() == text)
            return action;
    }
    return nullptr;
}

// Adds the songs and makes the starred one current the way the user does: Return on its row.
void TestPlayList::fill(const QString &songs)
{
    int current = 0;
    const QStringList names = songs.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (int row = 0; row < names.size(); ++row) {
        if (names[row].startsWith(QLatin1Char('*')))
            current = row;
        window->addSong(QString(names[row]).remove(QLatin1Char('*')));
    }
    if (!names.isEmpty()) {
        list()->setCurrentRow(current);
        QTest::keyClick(list(), Qt::Key_Return);
    }
}

// "add x", "del r", "up r", "down r", "select r", "next", "previous".
void TestPlayList::step(const QString &command)
{
    const QString verb = command.section(QLatin1Char(' '), 0, 0);
    const QString argument = command.section(QLatin1Char(' '), 1);
    if (verb == QLatin1String("add")) {
        emit PlayListToolbar::Instance(nullptr, nullptr)->add(argument);
        return;
    }
    if (verb == QLatin1String("next") || verb == QLatin1String("previous")) {
        verb == QLatin1String("next") ? window->goNext() : window->goPrevious();
        return;
    }
    list()->setCurrentRow(argument.toInt());
    if (verb == QLatin1String("select"))
        QTest::keyClick(list(), Qt::Key_Return);
    else
        QTest::mouseClick(button(verb == QLatin1String("del")  ? QStringLiteral("Del Songs")
                                 : verb == QLatin1String("up") ? QStringLiteral("Move Song Up")
                                                               : QStringLiteral("Move Song Down")),
                          Qt::LeftButton);
}

void TestPlayList::goldenBytes_data()
{
    QTest::addColumn<QStringList>("songs");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addRow("one path") << QStringList{"C:/a.mp3"}
                              << hex("00000000 00000001 00000010"
                                     "0043 003A 002F 0061 002E 006D 0070 0033");
    QTest::addRow("empty list") << QStringList() << hex("00000000 00000000");
    QTest::addRow("e acute") << QStringList{QStringLiteral("/m/caf\u00e9.mp3")}
                             << hex("00000000 00000001 00000016"
                                    "002F 006D 002F 0063 0061 0066 00E9 002E 006D 0070 0033");
    QTest::addRow("Japanese and an emoji")
        << QStringList{QStringLiteral("/\u6b4c/\U0001F3A4.mp3"), QStringLiteral("b")}
        << hex("00000000 00000002 00000012 002F 6B4C 002F D83C DFA4 002E 006D 0070 0033"
               "00000002 0062");
}

void TestPlayList::goldenBytes()
{
    QFETCH(QStringList, songs);
    QFETCH(QByteArray, bytes);
    QCOMPARE(PlayListFile::encode(songs), bytes);
    QStringList read{QStringLiteral("old")};
    QVERIFY(PlayListFile::decode(bytes, read));
    QCOMPARE(read, songs);
}

void TestPlayList::hostileFiles_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("read"); // empty: the read fails
    const QStringList fails;
    QTest::addRow("wrong tag") << hex("00000001 00000000") << fails;
    QTest::addRow("cut inside a length") << hex("00000000 00000002 00000002 0041 0000") << fails;
    QTest::addRow("cut inside a string") << hex("00000000 00000001 00000004 0041") << fails;
    QTest::addRow("count 2^31-1, 3 bytes") << hex("00000000 7FFFFFFF 000000") << fails;
    QTest::addRow("odd string length") << hex("00000000 00000001 00000003 004100") << fails;
    QTest::addRow("trailing bytes") << hex("00000000 00000001 00000002 0041 DEADBEEF")
                                    << QStringList{"A"};
    QTest::addRow("null entry") << hex("00000000 00000001 FFFFFFFF") << QStringList{""};
}

void TestPlayList::hostileFiles()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, read);
    QStringList songs{QStringLiteral("kept")};
    QCOMPARE(PlayListFile::decode(bytes, songs), !read.isEmpty());
    QCOMPARE(songs, read.isEmpty() ? QStringList{QStringLiteral("kept")} : read);
}

void TestPlayList::saveSuffix_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("saved");
    QTest::addRow("no dot") << "mylist" << "mylist.playlist";
    QTest::addRow("right suffix") << "mylist.playlist" << "mylist.playlist";
    QTest::addRow("other suffix") << "mylist.txt" << "mylist.txt.playlist";
    QTest::addRow("capitals") << "mylist.PLAYLIST" << "mylist.PLAYLIST.playlist";
    QTest::addRow("dot in a folder") << "C:/my.dir/list" << "C:/my.dir/list.playlist";
    QTest::addRow("dot first") << ".playlist" << ".playlist.playlist";
}

void TestPlayList::saveSuffix()
{
    QFETCH(QString, name);
    QFETCH(QString, saved);
    QCOMPARE(PlayListFile::withSuffix(name), saved);
}

void TestPlayList::operations_data()
{
    QTest::addColumn<QString>("songs");
    QTest::addColumn<bool>("repeat");
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QString>("after");
    QTest::addColumn<int>("changes");
    QTest::addColumn<QString>("buttons"); // enabled among Del, Up, Down
    QTest::addColumn<QString>("can");     // canGoNext, canGoPrevious
    QTest::addRow("add to empty") << "" << false << "add a" << "*a" << 1 << "del down" << "";
    QTest::addRow("add second") << "*a" << false << "add b" << "*a b" << 1 << "del down" << "next";
    QTest::addRow("del middle, current")
        << "a *b c" << false << "del 1" << "a *c" << 1 << "del up" << "previous";
    QTest::addRow("del last, current")
        << "a b *c" << false << "del 2" << "a *b" << 1 << "del up" << "previous";
    QTest::addRow("del only") << "*a" << false << "del 0" << "" << 1 << "" << "";
    QTest::addRow("del above current")
        << "a *b c" << false << "del 0" << "*b c" << 1 << "del down" << "next";
    QTest::addRow("up across current")
        << "a *b c" << false << "up 2" << "a c *b" << 1 << "del up down" << "previous";
    QTest::addRow("up current") << "a b *c" << false << "up 2" << "a *c b" << 1 << "del up down"
                                << "next previous";
    QTest::addRow("down current") << "*a b c" << false << "down 0" << "b *a c" << 1
                                  << "del up down" << "next previous";
    QTest::addRow("down across current")
        << "a b *c" << false << "down 1" << "a *c b" << 1 << "del up" << "next previous";
    QTest::addRow("next") << "*a b c" << false << "next" << "a *b c" << 2 << "del up down"
                          << "next previous";
    QTest::addRow("next at the end")
        << "a b *c" << false << "next" << "a b *c" << 1 << "del up" << "previous";
    QTest::addRow("next wraps") << "a b *c" << true << "next" << "*a b c" << 2 << "del down"
                                << "next previous";
    QTest::addRow("previous at the start")
        << "*a b c" << false << "previous" << "*a b c" << 1 << "del down" << "next";
    QTest::addRow("previous wraps") << "*a b c" << true << "previous" << "a b *c" << 2
                                    << "del up" << "next previous";
    QTest::addRow("one song, repeat")
        << "*a" << true << "next;previous" << "*a" << 4 << "del" << "next previous";
    QTest::addRow("select") << "*a b c" << false << "select 2" << "a b *c" << 1 << "del up"
                            << "previous";
    QTest::addRow("empty, repeat") << "" << true << "" << "" << 0 << "" << "";
}

void TestPlayList::operations()
{
    QFETCH(QString, songs);
    QFETCH(bool, repeat);
    QFETCH(QString, steps);
    QFETCH(QString, after);
    QFETCH(int, changes);
    QFETCH(QString, buttons);
    QFETCH(QString, can);
    preferences->setRepeatPlaylist(repeat);
    fill(songs);
    QSignalSpy changed(window, &PlayListWindow::changed);
    for (const QString &command : steps.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        step(command);

    QCOMPARE(rows(), rowsOf(after));
    const qsizetype star = after.indexOf(QLatin1Char('*'));
    QCOMPARE(window->currentSongFile(),
             star < 0 ? QString() : after.mid(star + 1).section(QLatin1Char(' '), 0, 0));
    QCOMPARE(changed.count(), changes);
    QStringList enabled;
    if (button(QStringLiteral("Del Songs"))->isEnabled())
        enabled << QStringLiteral("del");
    if (button(QStringLiteral("Move Song Up"))->isEnabled())
        enabled << QStringLiteral("up");
    if (button(QStringLiteral("Move Song Down"))->isEnabled())
        enabled << QStringLiteral("down");
    QCOMPARE(enabled.join(QLatin1Char(' ')), buttons);
    QVERIFY(button(QStringLiteral("Add Files"))->isEnabled());
    QStringList possible;
    if (window->canGoNext())
        possible << QStringLiteral("next");
    if (window->canGoPrevious())
        possible << QStringLiteral("previous");
    QCOMPARE(possible.join(QLatin1Char(' ')), can);
}

void TestPlayList::openFile_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("bytes"); // the file written there first, if any
    QTest::addColumn<QString>("box");      // "ObjectName=answer|caption|text begins"
    QTest::addColumn<QString>("after");
    QTest::addColumn<int>("changes");
    const QByteArray none;
    const QString unreadable = QStringLiteral("PlayListFileErrorBox=ok|File ERROR|Unable to read "
                                              "the playlist file: ");
    QTest::addRow("MP3 in capitals") << "SONG.MP3" << none << "" << "*SONG.MP3" << 3;
    QTest::addRow("playlist in capitals")
        << "Mix.PLAYLIST" << PlayListFile::encode({"a", "b"}) << "" << "*a b" << 4;
    QTest::addRow("dot in a folder")
        << "music.dir/list" << none
        << "PlayListUnknownFileTypeBox=ok|Unknown file type|The file: music.dir/listhas an "
           "unknown extension!\nPlease use .mp3 or .playlist files."
        << "*old.mp3" << 0;
    QTest::addRow("missing playlist")
        << "gone.playlist" << none << unreadable + "gone.playlist\n" << "*old.mp3" << 0;
    QTest::addRow("damaged playlist") << "bad.playlist" << hex("00000000 00000002 00000000")
                                      << unreadable + "bad.playlist\n" << "*old.mp3" << 0;
    QTest::addRow("start-up reopen, file gone")
        << "gone.playlist" << none << "log" << "*old.mp3" << 0;
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
    window->addSong(QStringLiteral("old.mp3"));
    QSignalSpy changed(window, &PlayListWindow::changed);
    Answers answers(box.isEmpty() || box == QLatin1String("log") ? QStringList()
                                                                   : QStringList{box.section('|', 0, 0)});
    if (box == QLatin1String("log")) {
        preferences->setLastFile(path);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("playlist file: gone.playlist"));
        window->reopenLastFile();
    } else {
        window->openFile(path);
    }

    QCOMPARE(answers.steps.join(QLatin1Char(',')), QString());
    QCOMPARE(answers.unexpected.join(QLatin1Char(',')), QString());
    if (!answers.texts.isEmpty())
        QVERIFY2(answers.texts[0].startsWith(box.section('|', 1)), qPrintable(answers.texts[0]));
    QCOMPARE(rows(), rowsOf(after));
    QCOMPARE(changed.count(), changes);
}

void TestPlayList::closePrompt_data()
{
    QTest::addColumn<bool>("changed");
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<bool>("saved");
    const QString prompt = QStringLiteral("PlayListChangedBox=");
    const QString dialog = QStringLiteral("PlayListMenuSavePlayListDialog=");
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
    QFile::remove(QStringLiteral("saved.playlist"));
    preferences->setLastFile(QStringLiteral("before"));
    if (changed)
        window->openFile(QStringLiteral("C:/a.mp3"));
    QSignalSpy closing(window, &PlayListWindow::closing);
    {
        Answers first(answers);
        QVERIFY(window->close());
        QCOMPARE(first.steps.join(QLatin1Char(',')), QString());
        QCOMPARE(first.unexpected.join(QLatin1Char(',')), QString());
        if (answers.contains("PlayListFileErrorBox=ok"))
            QVERIFY2(first.texts.last().contains(folder.filePath("missing/saved.playlist")),
                     qPrintable(first.texts.last()));
    }
    QCOMPARE(closing.count(), 1);
    QFile file(QStringLiteral("saved.playlist"));
    QCOMPARE(file.open(QIODevice::ReadOnly), saved);
    if (saved)
        QCOMPARE(file.readAll(), hex("00000000 00000001 00000010"
                                     "0043 003A 002F 0061 002E 006D 0070 0033"));
    QCOMPARE(preferences->lastFile(),
             saved ? folder.filePath("saved.playlist") : QStringLiteral("before"));

    // A list that was not saved is still offered for saving at the next close.
    window->show();
    Answers second(changed && !saved ? QStringList{"PlayListChangedBox=no"} : QStringList());
    QVERIFY(window->close());
    QCOMPARE(second.steps.join(QLatin1Char(',')), QString());
    QCOMPARE(second.unexpected.join(QLatin1Char(',')), QString());
}

void TestPlayList::dialogs_data()
{
    QTest::addColumn<QString>("trigger");
    QTest::addColumn<QString>("dialog");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QStringList>("chosen");
    QTest::addColumn<QString>("after"); // empty: the second name was saved
    const QStringList songs{"one.mp3", "two.mp3"};
    QTest::addRow("open") << "&Open" << "PlayListMenuOpenFileDialog" << "*.mp3 *.playlist"
                          << songs << "*two.mp3";
    QTest::addRow("add") << "Add Files" << "PlayListToolbarAddFileDialog" << "*.mp3" << songs
                         << "*one.mp3 two.mp3";
    QTest::addRow("save") << "&Save" << "PlayListMenuSavePlayListDialog" << "*.playlist"
                          << QStringList{"first", "second"} << "";
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
    for (int use = 0; use < 2; ++use) {
        if (QAction *action = menuAction(trigger))
            action->trigger();
        else
            QTest::mouseClick(button(trigger), Qt::LeftButton);
    }
    QCOMPARE(answers.steps.join(QLatin1Char(',')), QString());
    QCOMPARE(answers.unexpected.join(QLatin1Char(',')), QString());
    QCOMPARE(answers.seen[0], answers.seen[1]);
    QCOMPARE(static_cast<QFileDialog *>(answers.seen[0])->nameFilters(), QStringList{filter});
    QCOMPARE(rows(), rowsOf(after, folder.path() + QLatin1Char('/')));
    QCOMPARE(preferences->lastDirectory(), folder.path() + QLatin1Char('/'));
    QCOMPARE(QFile::exists(chosen[1] + ".playlist"), after.isEmpty());
}

void TestPlayList::repeat()
{
    QSignalSpy changed(window, &PlayListWindow::changed);
    QAction *repeat = menuAction(QStringLiteral("&Repeat"));
    QVERIFY(repeat && !repeat->isChecked());
    repeat->trigger();
    QVERIFY(repeat->isChecked() && preferences->repeatPlaylist());
    QCOMPARE(changed.count(), 1);
    // A new window starts with the stored setting.
    delete window;
    window = PlayListWindow::Instance();
    QVERIFY(menuAction(QStringLiteral("&Repeat"))->isChecked());
}

QTEST_MAIN(TestPlayList)
#include "tst_playlist.moc"
