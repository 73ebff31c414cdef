// What a seek costs: on a ten-minute song with lyrics, played through SDL's disk driver in real
// time, the time from a seek command (the main window's reload: the playing engine deleted, a new
// one built at the frame and played) to the new place's first sound in the device stream, at
// several places; how long the GUI thread is blocked by the command itself and by the longest
// pump pass after it, and the CPU time of the command (the work, whatever the load). Then the CPU of playing at 100 % and at 70 % volume.
// Usage: bench_seek [seconds of each volume run, default 20]

#include "frametiming.h"
#include "monotonicclock.h"
#include "mp3fixtures.h"
#include "mp3object.h"
#include "preferences.h"
#include "singleinstance.h"
#include "soundoutput.h"
#include "soundsettings.h"
#include "volumestage.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>

#include <sys/resource.h>

#include <ctime>

#include <algorithm>
#include <vector>

namespace {

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval &t) { return double(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// A line every 2.5 s, four words each, word-timed: a page every 10 s over the whole song.
QByteArray lyricsFor(int seconds)
{
    QString lrc;
    const auto stamp = [](int ms) {
        return QStringLiteral("%1:%2.%3")
            .arg(ms / 60000, 2, 10, QChar('0'))
            .arg(ms / 1000 % 60, 2, 10, QChar('0'))
            .arg(ms / 10 % 100, 2, 10, QChar('0'));
    };
    for (int ms = 500, line = 0; ms < seconds * 1000; ms += 2500, ++line) {
        lrc += QStringLiteral("[%1]").arg(stamp(ms));
        for (int word = 0; word < 4; ++word)
            lrc += QStringLiteral("<%1>line%2word%3 ").arg(stamp(ms + 500 * word)).arg(line).arg(word);
        lrc += QStringLiteral("<%1>\n").arg(stamp(ms + 2000));
    }
    return lrc.toUtf8();
}

// Pumps the engine until the device has taken the first slice delivered after since (the device
// asked again after that delivery); returns the longest pass in ms.
double pumpToFirstSound(MP3Object *engine)
{
    SoundOutput *output = SoundOutput::Instance();
    qint64 deliveredAt = -1;
    double longestPass = 0;
    while (deliveredAt < 0 || output->lastRequestTime() <= deliveredAt) {
        QElapsedTimer pass;
        pass.start();
        engine->timergo();
        longestPass = std::max(longestPass, pass.nsecsElapsed() / 1e6);
        if (deliveredAt < 0 && output->hasUnplayedBuffer())
            deliveredAt = MonotonicClock::now();
        QThread::usleep(200);
    }
    return longestPass;
}

// CPU time of the calling thread in ms: the work done, whatever the machine's load.
double threadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

struct Seek
{
    double toSound = 0;    // command to first sound, ms
    double command = 0;    // the command's own GUI time (delete, build, Play), ms
    double commandCpu = 0; // the GUI thread's CPU time in it, ms
    double longestPass = 0;
};

// A seek from a playing engine to frame, as the main window reloads.
Seek seek(MP3Object *&engine, const QString &song, int frame)
{
    Seek result;
    QElapsedTimer clock;
    clock.start();
    const double cpu = threadCpuMs();
    delete engine;
    engine = MP3Object::Instance(song, frame);
    engine->Play();
    result.command = clock.nsecsElapsed() / 1e6;
    result.commandCpu = threadCpuMs() - cpu;
    result.longestPass = pumpToFirstSound(engine);
    result.toSound = clock.nsecsElapsed() / 1e6;
    return result;
}

// CPU share of one core while playing for seconds at the volume.
double cpuAtVolume(const QString &song, int percent, double seconds)
{
    SoundSettings::setVolume(percent);
    MP3Object *engine = MP3Object::Instance(song, 0);
    engine->Play();
    const double before = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    while (wall.elapsed() < seconds * 1000) {
        engine->timergo();
        const int wait = engine->nextPassIn();
        QThread::msleep(wait < 0 ? 5 : std::min(wait, 5));
    }
    const double share = 100 * (cpuSeconds() - before) / (wall.nsecsElapsed() / 1e9);
    delete engine;
    SoundSettings::setVolume(SoundSettings::maxVolume);
    return share;
}

// The volume stage's CPU time per device slice at a factor, in microseconds, and its share of
// one core while playing (one slice per frame time).
QString volumeStageCost(double gain)
{
    std::vector<qint16> slice(2 * SoundOutput::periodSamples, 12345);
    VolumeStage stage;
    constexpr int rounds = 20000;
    const double before = threadCpuMs();
    for (int i = 0; i < rounds; ++i)
        stage.apply(slice.data(), SoundOutput::periodSamples, 2, gain);
    const double us = (threadCpuMs() - before) * 1000 / rounds;
    return QStringLiteral("%1 us a slice, %2 % of one core")
        .arg(us, 0, 'f', 2)
        .arg(100 * us / (FrameTiming::millisecondsPerFrame * 1000), 0, 'f', 3);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const double volumeSeconds = argc > 1 ? QByteArray(argv[1]).toDouble() : 20.0;
    QTemporaryDir dir;
    qputenv("SDL_AUDIODRIVER", "disk");
    qputenv("SDL_DISKAUDIOFILE", QFile::encodeName(dir.filePath("bench.raw")));
    qunsetenv("SDL_DISKAUDIODELAY"); // the disk driver keeps real time

    SingleInstance<Preferences>::createClassMutex();
    SingleInstance<MP3Object>::createClassMutex();
    SingleInstance<SoundOutput>::createClassMutex();
    Preferences::Instance(dir.filePath(QLatin1String(Preferences::fileBaseName)));

    QTextStream out(stdout);
    constexpr int songSeconds = 600;
    const QString song = dir.filePath("song.mp3");
    Mp3Fixtures::Sine sine;
    sine.seconds = songSeconds;
    if (!Mp3Fixtures::writeSine(song, sine) ||
        !Mp3Fixtures::writeFile(dir.filePath("song.lrc"), lyricsFor(songSeconds))) {
        out << "cannot write the song\n";
        return 1;
    }
    out << QString("seek: %1 s song with a page every 10 s, buffers of %2 frames, disk driver in "
                   "real time; 6 seeks to each place from a playing engine\n")
               .arg(songSeconds)
               .arg(Preferences::Instance()->nextBufferSize());
    out.flush();

    MP3Object *engine = MP3Object::Instance(song, 0);
    engine->Play();
    pumpToFirstSound(engine);
    for (const int second : {10, 60, 150, 300, 590}) {
        const int frame = FrameTiming::frameForMs(second * 1000LL);
        double total = 0, longest = 0, command = 0, commandCpu = 0, pass = 0;
        for (int round = 0; round < 6; ++round) {
            QThread::msleep(round * 37 % 100); // somewhere in the device period
            const Seek s = seek(engine, song, frame);
            if (round == 0)
                continue; // the first warms the file cache
            total += s.toSound;
            longest = std::max(longest, s.toSound);
            command = std::max(command, s.command);
            commandCpu += s.commandCpu / 5;
            pass = std::max(pass, s.longestPass);
        }
        out << QString("  to %1:%2: first sound after %3 ms mean, %4 ms longest; GUI blocked by "
                       "the command %5 ms longest (its CPU %6 ms mean), longest pass %7 ms\n")
                   .arg(second / 60)
                   .arg(second % 60, 2, 10, QChar('0'))
                   .arg(total / 5, 0, 'f', 1)
                   .arg(longest, 0, 'f', 1)
                   .arg(command, 0, 'f', 1)
                   .arg(commandCpu, 0, 'f', 1)
                   .arg(pass, 0, 'f', 1);
        out.flush();
    }
    delete engine;

    out << "  volume stage at 100 %: " << volumeStageCost(1.0) << "; at 70 %: "
        << volumeStageCost(0.7) << '\n';
    for (const int percent : {100, 70, 100, 70}) {
        out << QString("  playing at %1 % volume: CPU %2 % of one core (%3 s)\n")
                   .arg(percent)
                   .arg(cpuAtVolume(song, percent, volumeSeconds), 0, 'f', 2)
                   .arg(volumeSeconds);
        out.flush();
    }

    SingleInstance<MP3Object>::destroy();
    SingleInstance<SoundOutput>::destroy();
    SingleInstance<Preferences>::destroy();
    return 0;
}
