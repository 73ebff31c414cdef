#include "entry.h"

#include "commandline.h"
#include "mainwindow.h"
#include "preferences.h"
#include "screensaver.h"
#include "singleinstance.h"
#include "terminationsignals.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>

#include <memory>

bool haveCommandLineFile = false;
QString commandLineFile;
bool commandLineParty = false;
int commandLinePartyPort = -1;

// Takes --party and --party=PORT out of argv, wherever they stand.
static void takePartyOption(int &argc, char **argv)
{
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        const QByteArray argument(argv[i]);
        if (argument == "--party" || argument.startsWith("--party=")) {
            commandLineParty = true;
            bool number = false;
            const int port = argument.mid(8).toInt(&number);
            if (argument.size() > 8 && (!number || port < 1024 || port > 65535))
                qWarning("--party: the port must be a number from 1024 to 65535");
            else if (number)
                commandLinePartyPort = port;
            continue;
        }
        argv[kept++] = argv[i];
    }
    argv[kept] = nullptr;
    argc = kept;
}

// Every single-instance class; the shut-down needs only their names.
class Toolbar;
class PlayListToolbar;
class PlayListMenu;
class PlayListWindow;
class Menu;
class MP3Object;
class SoundOutput;

int createClassMutexes()
{
    using MakeMutex = bool (*)();
    const MakeMutex makingOrder[] = {
        SingleInstance<Preferences>::createClassMutex,
        SingleInstance<Toolbar>::createClassMutex,
        SingleInstance<PlayListToolbar>::createClassMutex,
        SingleInstance<PlayListMenu>::createClassMutex,
        SingleInstance<PlayListWindow>::createClassMutex,
        SingleInstance<Menu>::createClassMutex,
        SingleInstance<MainWindow>::createClassMutex,
        SingleInstance<MP3Object>::createClassMutex,
        SingleInstance<SoundOutput>::createClassMutex,
    };
    int lastMissing = 0;
    for (int position = 1; position <= int(std::size(makingOrder)); ++position) {
        if (!makingOrder[position - 1]())
            lastMissing = position;
    }
    return lastMissing;
}

void destroyInstances()
{
    // The sound output goes first: the playback engine that uses it is gone by now.
    SingleInstance<SoundOutput>::destroy();
    SingleInstance<MP3Object>::destroy();
    SingleInstance<MainWindow>::destroy();
    SingleInstance<Menu>::destroy();
    SingleInstance<PlayListWindow>::destroy();
    SingleInstance<PlayListMenu>::destroy();
    SingleInstance<PlayListToolbar>::destroy();
    SingleInstance<Toolbar>::destroy();
    SingleInstance<Preferences>::destroy();
}

QString preferencesFileName(const QString &program)
{
    const QString name = QLatin1String(Preferences::fileBaseName);
    const int cut =
        std::max(program.lastIndexOf(QLatin1Char('/')), program.lastIndexOf(QLatin1Char('\\')));
    QStringList besideProgram;
    if (cut >= 0)
        besideProgram << program.left(cut + 1) + name;
    besideProgram << QCoreApplication::applicationDirPath() + QLatin1Char('/') + name;
    for (const QString &candidate : std::as_const(besideProgram)) {
        if (QFileInfo(candidate).isFile())
            return candidate;
    }
    return Preferences::standardFileName();
}

QApplication *createApplication(int &argc, char **argv, int *finished)
{
    if (finished)
        *finished = -1;
    auto *application = new (std::nothrow) QApplication(argc, argv);
    if (!application)
        return nullptr;
    // argc and argv no longer hold the options the toolkit took for itself, nor --party[=PORT],
    // whose port is optional (which the parser cannot say).
    takePartyOption(argc, argv);
    CommandLine commandLine;
    if (!commandLine.read(argc, argv)) {
        if (finished)
            *finished = commandLine.exitCode();
        return application;
    }
    if (createClassMutexes() != 0 ||
        !Preferences::Instance(preferencesFileName(QFile::decodeName(argv[0])))) {
        destroyInstances();
        delete application;
        return nullptr;
    }
    haveCommandLineFile = commandLine.hasFile();
    commandLineFile = commandLine.fileName();
    return application;
}

MainWindow *createMainWindow()
{
    MainWindow *window = MainWindow::Instance();
    if (!window) {
        qFatal("Unable to obtain Memory for MainWindow!\n");
        return nullptr;
    }
    window->setWindowTitle(QStringLiteral("Vantrel Kivo Player"));
    window->show();
    return window;
}

int runPlayer(int argc, char **argv)
{
    // The audio output's audioFeedActive starts cleared with the audio output itself.
    haveCommandLineFile = false;
    commandLineFile = QLatin1String("");
    commandLineParty = false;
    commandLinePartyPort = -1;
    readScreenSaverSetting();
    // The class mutexes start null: destroyInstances leaves them so, and they begin so.

    int finished = -1;
    QApplication *application = createApplication(argc, argv, &finished);
    if (!application) {
        qFatal("Error: unable to obtain the memory needed for the application.");
        return 1;
    }
    if (finished >= 0) { // --help, --version, or a mistake: said, and nothing else made
        delete application;
        return finished;
    }
    // A kill, Ctrl+C or the end of the session ends the run at once, even under an open dialog
    // (nobody is there to answer it); the shut-down below still runs in its order, and every
    // setting is already in the preferences file. A request that came while a box held up the
    // start is kept: it ended only that box, and the event loop then must not start at all.
    bool terminated = false;
    auto termination = std::make_unique<TerminationSignals>();
    QObject::connect(termination.get(), &TerminationSignals::terminationRequested, application,
                     [application, &terminated] {
                         terminated = true;
                         application->exit(0);
                     });
    MainWindow *window = createMainWindow();
    if (!window) {
        qFatal("Error: unable to create top level window");
        return 2;
    }
    // The first argument opens as if chosen with "&Load", after the list the last run left. From
    // the running event loop: a box it raises then ends with the loop on a termination request.
    if (haveCommandLineFile) {
        QMetaObject::invokeMethod(
            window, [window] { window->loadFile(commandLineFile); }, Qt::QueuedConnection);
    }
    QObject::connect(application, &QGuiApplication::lastWindowClosed, application,
                     &QCoreApplication::quit);
    const int result = terminated ? 0 : application->exec();
    termination.reset();

    // Nothing is written here: every setter has already written the preferences file.
    if (Preferences::hasAnInstance())
        delete Preferences::Instance();
    delete window;
    destroyInstances();
    delete application;
    restoreScreenSaver();
    return result;
}
