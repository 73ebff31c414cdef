// The program's whole run, in this process, and where it looks for its preferences file.
// A start-up routine of the toolkit (run inside the application's constructor) schedules an
// observer that accepts any message box and closes the main window once it shows, the way a user
// would. Each step of the run is traced with what existed at that moment, so a start-up or
// shut-down out of order shows in the trace.

#include "entry.h"
#include "localfilename.h"
#include "mainwindow.h"
#include "preferences.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

QStringList trace;
QtMessageHandler testHandler = nullptr;
// Instead of answering a message box, the run gets SIGTERM, as at the end of a session; the main
// window is then left open, and closed only if the run still goes on 3 s later.
bool terminateAtBox = false;

// Whether the application, the class mutexes and the preferences store exist: " | 110".
QString existing()
{
    const bool mutexes = SingleInstance<Preferences>::hasClassMutex();
    return QStringLiteral(" | %1%2%3")
        .arg(QCoreApplication::instance() != nullptr)
        .arg(mutexes)
        .arg(mutexes && Preferences::hasAnInstance());
}

// The screen-saver switch reports through debug messages (there is no session bus here); the
// trace keeps those.
void traceDebug(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type != QtDebugMsg)
        testHandler(type, context, text);
    else if (text.contains(QLatin1String("creen")))
        trace << text + existing();
}

// Every 10 ms once the event loop turns (also inside a message box's own loop): answers a message
// box with No where it asks, else accepts it; closes the main window the first time it shows.
void observeRun()
{
    auto *observer = new QTimer(QCoreApplication::instance());
    QObject::connect(observer, &QTimer::timeout, observer, [closed = false, ticks = 0]() mutable {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            trace << QLatin1String("box ") + box->text();
            if (terminateAtBox)
                std::raise(SIGTERM);
            else if (QAbstractButton *no = box->button(QMessageBox::No))
                no->click();
            else
                box->accept();
            return;
        }
        MainWindow *window = MainWindow::Instance();
        if (closed || !window->isVisible() || (terminateAtBox && ++ticks < 300))
            return;
        if (terminateAtBox)
            trace << QLatin1String("still running 3 s after SIGTERM");
        closed = true;
        trace << window->windowTitle() + QLatin1String(" shown") + existing();
        QObject::connect(window, &QObject::destroyed,
                         [] { trace << QLatin1String("main window gone") + existing(); });
        // Queued, so that this observer is free to answer what the close brings up.
        QMetaObject::invokeMethod(window, &QWidget::close, Qt::QueuedConnection);
    });
    observer->start(10);
}

} // namespace

class EntryTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void wholeRun_data();
    void wholeRun();
    void startUp_data();
    void startUp();

private:
    QTemporaryDir home; // emptied before each run
    const QString program = home.filePath("bin/kivo");
};

void EntryTest::initTestCase()
{
    // No session bus: the screen-saver switch only reports.
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus");
    qputenv("HOME", QFile::encodeName(home.path()));
    // Called by the toolkit inside every application constructor.
    qAddPreRoutine([] {
        QMetaObject::invokeMethod(QCoreApplication::instance(), observeRun, Qt::QueuedConnection);
    });
    testHandler = qInstallMessageHandler(traceDebug);
}

// Where the preferences live: a file already beside the program (a portable install), else the
// standard file under XDG_CONFIG_HOME when that is absolute, else under ~/.config.
void EntryTest::wholeRun_data()
{
    QTest::addColumn<QString>("program"); // relative to the home folder
    QTest::addColumn<QString>("config");  // XDG_CONFIG_HOME
    QTest::addColumn<QString>("written"); // made empty beforehand when relative
    const QString beside = QStringLiteral("bin/VantrelKivo.preferences");
    const QString backslashed = QString(beside).replace('/', '\\');
    const QString config = home.filePath(QStringLiteral("cfg"));
    const QString standard = QStringLiteral("/VantrelKivo/VantrelKivo.preferences");
    QTest::addRow("file beside") << "bin/kivo" << config << beside;
    QTest::addRow("file beside, backslash") << "bin\\kivo"
                                            << "" << backslashed;
    QTest::addRow("nothing beside") << "bin/kivo" << config << config + standard;
    // The program's folder is where it was installed, not where it was started.
    QTest::addRow("bare name, relative XDG_CONFIG_HOME")
        << "kivo"
        << "cfg" << home.filePath(".config") + standard;
}

// The preferences file gets the defaults, the first argument after the toolkit's options is the
// command-line file, kept as its bytes, and closing the window ends the run with 0.
void EntryTest::wholeRun()
{
    QFETCH(QString, program);
    QFETCH(QString, config);
    QFETCH(QString, written);
    QVERIFY(QDir(home.path()).removeRecursively() && QDir().mkpath(home.filePath("bin")) &&
            QDir::setCurrent(home.path()));
    // A file in the folder the program was started from never counts.
    QVERIFY(QFile(QStringLiteral("VantrelKivo.preferences")).open(QIODevice::WriteOnly));
    QVERIFY(QDir::isAbsolutePath(written) || QFile(written).open(QIODevice::WriteOnly));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config)); // empty counts as unset
    trace.clear();
    QByteArray programArgument = QFile::encodeName(program);
    // UTF-8 with an o umlaut and an omega, then a Latin-1 e acute, which is no UTF-8.
    QByteArray song = "/songs/L\xc3\xb6wenzahn \xce\xa9 caf\xe9.mp3";
    char style[] = "-style", fusion[] = "fusion", second[] = "second.playlist";
    char *argv[] = {programArgument.data(), style, fusion, song.data(), second, nullptr};

    QCOMPARE(runPlayer(5, argv), 0);
    const QStringList expected{"Unable to find original Screen Save Setting! | 000",
                               "Unable to set non screen saver mode! | 111",
                               "Vantrel Kivo Player shown | 111",
                               "box The Playlist has changed do you wish to save?",
                               "main window gone | 110",
                               "Unable to set screen save back to original mode! | 000"};
    QVERIFY2(trace == expected, qPrintable(trace.join('\n')));
    QVERIFY(haveCommandLineFile);
    QCOMPARE(commandLineFile.left(18), QString::fromUtf8(song.left(20)));
    QCOMPARE(LocalFileName::encode(commandLineFile), song); // the file it names opens
    QFile file(written); // the defaults, beginning with the tag 15
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.read(8).toHex(), "0000000f00000000");
}

// What the program does at start-up before, or instead of, its normal run.
void EntryTest::startUp_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("lastFile"); // stored by a run before; "pipe": a pipe's path
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("output"); // what stdout holds
    QTest::addColumn<QStringList>("trace");
    const QString saverRead = "Unable to find original Screen Save Setting! | 000";
    const QStringList run{saverRead, "Unable to set non screen saver mode! | 111",
                          "Vantrel Kivo Player shown | 111", "main window gone | 110",
                          "Unable to set screen save back to original mode! | 000"};
    const QString bad = home.filePath("bad.playlist");
    QTest::addRow("--help") << QStringList{"--help"} << "" << 0 << "Usage: " + program
                            << QStringList{saverRead};
    QTest::addRow("--version") << QStringList{"--version"} << "" << 0
                               << "Vantrel Kivo Player 2.00.0000\n" << QStringList{saverRead};
    QTest::addRow("an unknown option") << QStringList{"--bogus", "a.mp3"} << "" << 2 << ""
                                       << QStringList{saverRead};
    QTest::addRow("a pipe as the last file") << QStringList() << "pipe" << 0 << "" << run;
    QTest::addRow("SIGTERM under a box about the command line's file")
        << QStringList{bad} << "" << 0 << ""
        << QStringList{run[0], run[1],
                       "box Unable to read the playlist file: " + bad +
                           "\nIt is not a playlist file, or it is damaged or cut short.",
                       run[4]};
}

// --help and --version answer on stdout and make nothing else, not even the preferences; a pipe
// stored as the last file does not hold the start up; SIGTERM while the start shows a box
// ends the run.
void EntryTest::startUp()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, lastFile);
    QFETCH(int, exitCode);
    QFETCH(QString, output);
    QFETCH(QStringList, trace);
    QVERIFY(QDir(home.path()).removeRecursively() &&
            QDir().mkpath(home.filePath("cfg/VantrelKivo")) && QDir::setCurrent(home.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath("cfg")));
    const QString preferences = home.filePath("cfg/VantrelKivo/VantrelKivo.preferences");
    QVERIFY(QFile(home.filePath("bad.playlist")).open(QIODevice::WriteOnly));
    const QByteArray pipe = QFile::encodeName(home.filePath("pipe.playlist"));
    QVERIFY(::mkfifo(pipe.constData(), 0600) == 0);
    if (!lastFile.isEmpty()) {
        QCOMPARE(createClassMutexes(), 0);
        Preferences::Instance(preferences)->setLastFile(QFile::decodeName(pipe));
        destroyInstances();
    }
    // Frees an open that waits on the pipe for a writer, and tells.
    std::atomic<bool> done{false}, blocked{false};
    std::thread watch([&] {
        for (; !done; std::this_thread::sleep_for(std::chrono::milliseconds(10))) {
            const int fd = ::open(pipe.constData(), O_WRONLY | O_NONBLOCK);
            blocked = blocked || fd >= 0;
            if (fd >= 0)
                ::close(fd);
        }
    });
    QTemporaryFile out;
    QVERIFY(out.open());
    std::fflush(stdout);
    const int savedOut = ::dup(1);
    ::dup2(out.handle(), 1);
    ::trace.clear();
    terminateAtBox = QByteArray(QTest::currentDataTag()).startsWith("SIGTERM");
    QByteArray programArgument = QFile::encodeName(program);
    std::vector<QByteArray> bytes{programArgument};
    for (const QString &argument : std::as_const(arguments))
        bytes.push_back(QFile::encodeName(argument));
    std::vector<char *> argv;
    for (QByteArray &argument : bytes)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    const int result = runPlayer(int(bytes.size()), argv.data());
    terminateAtBox = false;
    std::fflush(stdout);
    ::dup2(savedOut, 1);
    ::close(savedOut);
    done = true;
    watch.join();

    QCOMPARE(result, exitCode);
    QVERIFY2(::trace == trace, qPrintable(::trace.join('\n')));
    QVERIFY2(!blocked, "the start waited on a pipe");
    out.seek(0);
    const QString printed = QString::fromLocal8Bit(out.readAll());
    QVERIFY2(printed.contains(output), qPrintable(printed));
    QCOMPARE(QFile::exists(preferences), trace.size() > 1 || !lastFile.isEmpty());
}

QTEST_APPLESS_MAIN(EntryTest)
#include "tst_entry.moc"
