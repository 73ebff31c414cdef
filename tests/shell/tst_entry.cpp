// The program's whole run, in this process: start-up, the window, closing it, shut-down.
// A start-up routine of the toolkit (run inside the application's constructor) schedules an
// observer that accepts any message box, notes what the running program shows and then closes
// its windows the way a user would.

#include "entry.h"
#include "mainwindow.h"
#include "preferences.h"
#include "singleinstance.h"

#include <QApplication>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>

namespace {

struct Observed
{
    bool windowShown = false;
    QString caption;
    QStringList boxes;
    bool haveCommandLineFile = false;
    QString commandLineFile;
    int mainWindowWidth = 0;
};

Observed observed;
// Runs once the main window is up, just before the observer closes it.
std::function<void()> whileRunning;

void observeRun()
{
    auto *timer = new QTimer(QCoreApplication::instance());
    timer->setInterval(0);
    QObject::connect(timer, &QTimer::timeout, timer, [timer] {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            auto *box = qobject_cast<QMessageBox *>(widget);
            if (box && box->isVisible()) {
                observed.boxes << box->windowTitle() + QLatin1Char('|') + box->text();
                box->accept();
                return;
            }
        }
        if (!MainWindow::hasAnInstance() || !MainWindow::Instance()->isVisible())
            return;
        timer->stop();
        observed.windowShown = true;
        observed.caption = MainWindow::Instance()->windowTitle();
        observed.haveCommandLineFile = haveCommandLineFile;
        observed.commandLineFile = commandLineFile;
        observed.mainWindowWidth = Preferences::Instance()->mainWindowWidth();
        if (whileRunning)
            whileRunning();
        QApplication::closeAllWindows();
    });
    timer->start();
}

// Called by the toolkit inside every application constructor.
void scheduleObserver()
{
    QMetaObject::invokeMethod(QCoreApplication::instance(), observeRun, Qt::QueuedConnection);
}

int run(const QStringList &arguments)
{
    observed = Observed();
    QList<QByteArray> storage;
    std::vector<char *> argv;
    for (const QString &argument : arguments)
        storage << QFile::encodeName(argument);
    for (QByteArray &argument : storage)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    QTest::ignoreMessage(QtDebugMsg, "Unable to find original Screen Save Setting!");
    QTest::ignoreMessage(QtDebugMsg, "Unable to set screen save back to original mode!");
    return runPlayer(int(argv.size() - 1), argv.data());
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class EntryTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void firstStartWritesDefaultsAndEndsCleanly();
    void fileBesideTheProgramWins();
    void commandLine_data();
    void commandLine();
    void unwritableConfigurationFolder();
    void preferencesFileName_data();
    void preferencesFileName();

private:
    QString config() const { return home->filePath(QStringLiteral("config")); }
    QString standardFile() const
    {
        return config() + QStringLiteral("/VantrelKivo/VantrelKivo.preferences");
    }

    std::unique_ptr<QTemporaryDir> home;
    QString startFolder = QDir::currentPath();
};

void EntryTest::initTestCase()
{
    qAddPreRoutine(scheduleObserver);
}

void EntryTest::init()
{
    home = std::make_unique<QTemporaryDir>();
    QVERIFY(home->isValid());
    QVERIFY(QDir().mkpath(config()));
    qputenv("HOME", QFile::encodeName(home->path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config()));
    whileRunning = nullptr;
}

// Shut-down leaves no single instance and no class mutex behind.
void EntryTest::cleanup()
{
    QDir::setCurrent(startFolder);
    QVERIFY(!SingleInstance<Preferences>::hasClassMutex());
    QVERIFY(!SingleInstance<MainWindow>::hasClassMutex());
    QTest::ignoreMessage(QtWarningMsg, "Asked for instance without have mutex for MainWindow");
    QVERIFY(!MainWindow::hasAnInstance());
}

void EntryTest::firstStartWritesDefaultsAndEndsCleanly()
{
    QVERIFY(QDir(config()).isEmpty());
    bool fileWhileRunning = false;
    whileRunning = [&] { fileWhileRunning = QFile::exists(standardFile()); };
    QCOMPARE(run({QStringLiteral("vantrelkivo")}), 0);
    QVERIFY(observed.windowShown);
    QCOMPARE(observed.caption, QStringLiteral("Vantrel Kivo Player"));
    QVERIFY(observed.boxes.isEmpty());
    QVERIFY(fileWhileRunning);
    QCOMPARE(observed.mainWindowWidth, 500);
    QVERIFY(!observed.haveCommandLineFile);
    QCOMPARE(observed.commandLineFile, QString());
    QCOMPARE(readAll(standardFile()).left(8), QByteArray::fromHex("0000000F 00000000"));
}

// A later start reads the file its predecessor wrote; one beside the program wins over the
// standard place.
void EntryTest::fileBesideTheProgramWins()
{
    whileRunning = [] { Preferences::Instance()->setMainWindowWidth(654); };
    QCOMPARE(run({QStringLiteral("vantrelkivo")}), 0);
    const QString portable = home->filePath(QStringLiteral("portable"));
    QVERIFY(QDir().mkpath(portable));
    QVERIFY(QFile::rename(standardFile(), portable + QStringLiteral("/VantrelKivo.preferences")));

    const QByteArray written = readAll(portable + QStringLiteral("/VantrelKivo.preferences"));
    whileRunning = nullptr;
    QCOMPARE(run({portable + QStringLiteral("/vantrelkivo")}), 0);
    QCOMPARE(observed.mainWindowWidth, 654);
    QVERIFY(!QFile::exists(standardFile()));
    // shut-down writes nothing
    QCOMPARE(readAll(portable + QStringLiteral("/VantrelKivo.preferences")), written);
}

void EntryTest::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("file");
    QTest::addRow("first of two") << QStringList{"first.mp3", "second.playlist"} << "first.mp3";
    QTest::addRow("after toolkit options")
        << QStringList{"-style", "fusion", "/songs/a b.mp3"} << "/songs/a b.mp3";
    QTest::addRow("non-ASCII name")
        << QStringList{"/songs/L\u00f6wenzahn \u03a9.mp3"} << "/songs/L\u00f6wenzahn \u03a9.mp3";
}

void EntryTest::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, file);
    QCOMPARE(run(QStringList{QStringLiteral("vantrelkivo")} + arguments), 0);
    QVERIFY(observed.haveCommandLineFile);
    QCOMPARE(observed.commandLineFile, file);
}

// Defaults apply and the write failure is reported before any window shows.
void EntryTest::unwritableConfigurationFolder()
{
    const QString blocked = home->filePath(QStringLiteral("blocked"));
    QFile plain(blocked);
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(blocked));
    QCOMPARE(run({QStringLiteral("vantrelkivo")}), 0);
    QCOMPARE(observed.boxes.size(), 1);
    QVERIFY(observed.boxes.constFirst().startsWith(QStringLiteral("File ERROR|")));
    QVERIFY(observed.windowShown);
    QCOMPARE(observed.mainWindowWidth, 500);
}

void EntryTest::preferencesFileName_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("existing");
    QTest::addColumn<bool>("besideProgram");
    QTest::addRow("file beside, slash") << "bin/vantrelkivo"
                                        << "bin/VantrelKivo.preferences" << true;
    QTest::addRow("file beside, backslash") << "bin\\vantrelkivo"
                                            << "bin\\VantrelKivo.preferences" << true;
    QTest::addRow("nothing beside") << "bin/vantrelkivo"
                                    << "" << false;
    QTest::addRow("other file beside") << "bin/vantrelkivo"
                                       << "bin/Other.preferences" << false;
    QTest::addRow("bare program name") << "vantrelkivo"
                                       << "VantrelKivo.preferences" << false;
}

// A bare program name does not make a file in the current folder count: the program's folder
// is where it was installed, not where it was started.
void EntryTest::preferencesFileName()
{
    QFETCH(QString, program);
    QFETCH(QString, existing);
    QFETCH(bool, besideProgram);
    QVERIFY(QDir::setCurrent(home->path()));
    QVERIFY(QDir().mkpath(QStringLiteral("bin")));
    if (!existing.isEmpty()) {
        QFile file(existing);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    int argc = 1;
    char name[] = "tst_entry";
    char *argv[] = {name, nullptr};
    QCoreApplication application(argc, argv);
    const QString expected = besideProgram ? existing : standardFile();
    QCOMPARE(::preferencesFileName(program), expected);
}

int main(int argc, char **argv)
{
    // No session bus: the screen-saver switch only reports.
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus");
    EntryTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_entry.moc"
