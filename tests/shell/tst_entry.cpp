// The program's whole run, in this process, and where it looks for its preferences file.
// A start-up routine of the toolkit (run inside the application's constructor) schedules an
// observer that accepts any message box and closes the main window once it shows, the way a user
// would. Each step of the run is traced with what existed at that moment, so a start-up or
// shut-down out of order shows in the trace.

#include "entry.h"
#include "mainwindow.h"
#include "preferences.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QStringList trace;
QtMessageHandler testHandler = nullptr;

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
    QObject::connect(observer, &QTimer::timeout, observer, [closed = false]() mutable {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            trace << QLatin1String("box ") + box->text();
            if (QAbstractButton *no = box->button(QMessageBox::No))
                no->click();
            else
                box->accept();
            return;
        }
        MainWindow *window = MainWindow::Instance();
        if (closed || !window->isVisible())
            return;
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

private:
    QTemporaryDir home; // emptied before each run
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
// command-line file, and closing the window ends the run with 0.
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
    QByteArray song =
        "/songs/L\xc3\xb6wenzahn \xce\xa9.mp3"; // UTF-8, with an o umlaut and an omega
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
    QCOMPARE(commandLineFile, QString::fromUtf8(song));
    QFile file(written); // the defaults, beginning with the tag 15
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.read(8).toHex(), "0000000f00000000");
}

QTEST_APPLESS_MAIN(EntryTest)
#include "tst_entry.moc"
