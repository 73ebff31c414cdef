// What playing, pausing and stopping cost the whole system on a real sound server (PulseAudio or
// PipeWire with a null sink): the CPU of this process and of the server, the server's context
// switches a second (its wakeups), and the state of our stream at the server (RUNNING, or
// CORKED when it is paused), for each phase: playing, paused, stopped. The engine is pumped as
// the main window pumps it (a single-shot timer armed for nextPassIn(), fired at once on
// passWanted()).
// Usage: bench_soundserver SERVER_PID [SECONDS per phase, default 10] [SONG]
//   with SDL_AUDIODRIVER=pulseaudio (or pipewire) and the server's environment set.

#include "mp3fixtures.h"
#include "mp3object.h"
#include "preferences.h"
#include "singleinstance.h"
#include "soundoutput.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include <unistd.h>

namespace {

// utime + stime in seconds, and voluntary plus involuntary context switches, of a process.
struct Usage
{
    double cpu = 0;
    qint64 switches = 0;
};

Usage usageOf(const QString &pid)
{
    Usage usage;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (stat.open(QIODevice::ReadOnly)) {
        const QList<QByteArray> fields = stat.readAll().split(')').last().trimmed().split(' ');
        if (fields.size() > 13)
            usage.cpu = (fields[11].toDouble() + fields[12].toDouble()) / sysconf(_SC_CLK_TCK);
    }
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.contains("ctxt_switches"))
                usage.switches += line.split(':').last().trimmed().toLongLong();
        }
    }
    return usage;
}

QString streamStates()
{
    QProcess pactl;
    pactl.start("pactl", {"list", "sink-inputs"});
    pactl.waitForFinished(3000);
    QStringList states;
    for (const QByteArray &line : pactl.readAllStandardOutput().split('\n')) {
        if (line.trimmed().startsWith("Corked:"))
            states << (line.contains("yes") ? QStringLiteral("CORKED") : QStringLiteral("RUNNING"));
    }
    return states.isEmpty() ? QStringLiteral("none") : states.join(',');
}

// Runs the event loop for seconds, pumping the engine; returns the usage of us and the server.
QString phase(MP3Object *engine, const QString &server, double seconds)
{
    QEventLoop loop;
    QTimer pump;
    pump.setSingleShot(true);
    QObject::connect(&pump, &QTimer::timeout, engine, [&] {
        engine->timergo();
        if (const int wait = engine->nextPassIn(); wait >= 0)
            pump.start(wait);
    });
    const QMetaObject::Connection wake =
        QObject::connect(engine, &MP3Object::passWanted, &pump, [&pump] { pump.start(0); });
    pump.start(0);
    QTimer::singleShot(int(seconds * 500), &loop, &QEventLoop::quit); // settle
    loop.exec();
    const Usage self0 = usageOf(QString::number(getpid())), server0 = usageOf(server);
    QElapsedTimer wall;
    wall.start();
    QTimer::singleShot(int(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
    const double elapsed = wall.nsecsElapsed() / 1e9;
    const Usage self1 = usageOf(QString::number(getpid())), server1 = usageOf(server);
    const QString states = streamStates();
    pump.stop();
    QObject::disconnect(wake);
    return QStringLiteral("player %1 %, server %2 % (sum %3 %), server wakeups %4/s, stream %5")
        .arg(100 * (self1.cpu - self0.cpu) / elapsed, 0, 'f', 2)
        .arg(100 * (server1.cpu - server0.cpu) / elapsed, 0, 'f', 2)
        .arg(100 * (self1.cpu - self0.cpu + server1.cpu - server0.cpu) / elapsed, 0, 'f', 2)
        .arg((server1.switches - server0.switches) / elapsed, 0, 'f', 0)
        .arg(states);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    QTextStream out(stdout);
    if (argc < 2) {
        out << "usage: bench_soundserver SERVER_PID [SECONDS] [SONG]\n";
        return 2;
    }
    const QString server = QString::fromLocal8Bit(argv[1]);
    const double seconds = argc > 2 ? QByteArray(argv[2]).toDouble() : 10.0;
    QTemporaryDir dir;
    QString song = argc > 3 ? QString::fromLocal8Bit(argv[3]) : dir.filePath("song.mp3");
    Mp3Fixtures::Sine sine;
    sine.seconds = 4 * seconds + 10;
    if (argc <= 3 && !Mp3Fixtures::writeSine(song, sine)) {
        out << "cannot write the song\n";
        return 1;
    }
    SingleInstance<Preferences>::createClassMutex();
    SingleInstance<MP3Object>::createClassMutex();
    SingleInstance<SoundOutput>::createClassMutex();
    Preferences::Instance(dir.filePath(QLatin1String(Preferences::fileBaseName)));

    MP3Object *engine = MP3Object::Instance(song, 0);
    engine->Play();
    out << "playing: " << phase(engine, server, seconds) << '\n';
    out.flush();
    engine->Pause();
    out << "paused:  " << phase(engine, server, seconds) << '\n';
    out.flush();
    // Play after the pause: until the device asks for sound again.
    QElapsedTimer resume;
    resume.start();
    const qint64 asked = SoundOutput::Instance()->lastRequestTime();
    engine->Play();
    while (SoundOutput::Instance()->lastRequestTime() == asked && resume.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    out << QString("Play after the pause: the device asks for sound after %1 ms\n")
               .arg(resume.nsecsElapsed() / 1e6, 0, 'f', 1);
    out << "playing: " << phase(engine, server, seconds) << '\n';
    engine->Stop(); // the main window then replaces the engine by a stopped one
    delete engine;
    engine = MP3Object::Instance(song, 0);
    out << "stopped: " << phase(engine, server, seconds) << '\n';
    out.flush();
    delete engine;
    SingleInstance<MP3Object>::destroy();
    SingleInstance<SoundOutput>::destroy();
    SingleInstance<Preferences>::destroy();
    return 0;
}
