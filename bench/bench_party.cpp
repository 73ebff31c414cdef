// The party's cost to the player: a song plays through the engine on SDL's disk driver in real
// time while party_load.py's phones search and queue on loopback and then send hostile requests.
// Reports the phones' response times and errors (from the script), the player's CPU share
// (playing and serving) while the phones searched and queued, how much longer than the song the sound took to be heard (a callback left
// waiting), runs of silence inside the song on the device, and whether the queue holds exactly
// the requests the phones kept.
// Usage: bench_party [phones seconds rate]   (50 60 5; the run takes those seconds plus about 45).
// bench_party 0 gives the same run without phones, for comparison.

#include "fakecatalog.h"
#include "frametiming.h"
#include "monotonicclock.h"
#include "mp3fixtures.h"
#include "mp3object.h"
#include "partycontroller.h"
#include "partyqueue.h"
#include "preferences.h"
#include "singleinstance.h"
#include "soundoutput.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include <sys/resource.h>

namespace {

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval &t) { return double(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// The longest run of zero samples between the first and the last sounding one.
qsizetype longestSilence(const QByteArray &sound)
{
    const auto *samples = reinterpret_cast<const qint16 *>(sound.constData());
    const qsizetype count = sound.size() / 2;
    qsizetype first = 0, last = count - 1;
    while (first < count && samples[first] == 0)
        ++first;
    while (last > first && samples[last] == 0)
        --last;
    qsizetype longest = 0, run = 0;
    for (qsizetype i = first; i <= last; ++i) {
        run = samples[i] == 0 ? run + 1 : 0;
        longest = std::max(longest, run);
    }
    return longest;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);
    QApplication application(argc, argv);
    const QStringList load = application.arguments().mid(1, 3);
    const double loadSeconds = load.size() > 1 ? load.at(1).toDouble() : 60;
    QTemporaryDir dir;
    const QString deviceFile = dir.filePath("bench.raw");
    qputenv("SDL_AUDIODRIVER", "disk");
    qputenv("SDL_DISKAUDIOFILE", QFile::encodeName(deviceFile));
    qunsetenv("SDL_DISKAUDIODELAY"); // the disk driver keeps real time
    SingleInstance<Preferences>::createClassMutex();
    SingleInstance<MP3Object>::createClassMutex();
    SingleInstance<SoundOutput>::createClassMutex();
    Preferences::Instance(dir.filePath(QLatin1String(Preferences::fileBaseName)));

    QTextStream out(stdout);
    const QString song = dir.filePath("song.mp3");
    Mp3Fixtures::Sine sine;
    sine.seconds = loadSeconds + 45; // the phones' minute, the hostile requests, and some
    if (!Mp3Fixtures::writeSine(song, sine)) {
        out << "cannot encode the song\n";
        return 1;
    }
    FakeCatalog catalog(200, song);
    PartyController party(catalog, dir.filePath("library.sqlite"));
    if (!party.start(0, true))
        return 1;

    // The engine pumped as the main window pumps it.
    MP3Object *engine = MP3Object::Instance(song, 0);
    SoundOutput *output = SoundOutput::Instance();
    QTimer pump;
    pump.setSingleShot(true);
    qint64 firstSound = -1;
    QObject::connect(&pump, &QTimer::timeout, engine, [&] {
        engine->timergo();
        if (firstSound < 0 && output->hasUnplayedBuffer())
            firstSound = MonotonicClock::now();
        if (const int wait = engine->nextPassIn(); wait >= 0)
            pump.start(wait);
    });
    QObject::connect(engine, &MP3Object::passWanted, &pump, [&pump] { pump.start(0); });
    QObject::connect(engine, &MP3Object::EOS, &application, &QCoreApplication::quit);

    QProcess phones;
    phones.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QByteArray report;
    double cpuUnderLoad = 0, wallUnderLoad = 0;
    const double cpuBefore = cpuSeconds();
    QElapsedTimer wall;
    // The phones' minute ends with their report's first line.
    QObject::connect(&phones, &QProcess::readyReadStandardOutput, [&] {
        report += phones.readAllStandardOutput();
        if (wallUnderLoad == 0 && report.contains("phones: ")) {
            cpuUnderLoad = cpuSeconds() - cpuBefore;
            wallUnderLoad = wall.nsecsElapsed() / 1e9;
        }
    });
    engine->Play();
    pump.start(0);
    wall.start();
    phones.start(QStringLiteral("/usr/bin/python3"),
                 QStringList{QStringLiteral(KIVO_PARTY_LOAD), party.joinUrl()} + load);
    application.exec();
    if (phones.state() != QProcess::NotRunning) {
        out << "the song ended before the phones did: give a shorter load\n";
        phones.kill();
        phones.waitForFinished();
    }
    const double heard = (MonotonicClock::now() - firstSound) / 1000.0;
    const double length = engine->totalFrames() * FrameTiming::millisecondsPerFrame / 1000;
    delete engine;
    SingleInstance<SoundOutput>::destroy();

    QFile device(deviceFile);
    const QByteArray sound = device.open(QIODevice::ReadOnly) ? device.readAll() : QByteArray();
    out << report;
    const int expected = report.mid(report.lastIndexOf("expected queue: ") + 16).trimmed().toInt();
    out << QString("queue: %1 requests, %2\n")
               .arg(party.queue().entries().size())
               .arg(party.queue().entries().size() == expected ? "exactly those kept" : "NOT those kept");
    out << QString("player CPU while the phones searched and queued: %1 % of one core (%2 s over %3 s)\n")
               .arg(100 * cpuUnderLoad / std::max(wallUnderLoad, 1e-3), 0, 'f', 1)
               .arg(cpuUnderLoad, 0, 'f', 2)
               .arg(wallUnderLoad, 0, 'f', 1);
    out << QString("song: %1 s, heard over %2 s (%3 ms late); longest silence inside it: %4 "
                   "samples\n")
               .arg(length, 0, 'f', 2)
               .arg(heard, 0, 'f', 2)
               .arg((heard - length) * 1000, 0, 'f', 0)
               .arg(longestSilence(sound));
    return 0;
}
