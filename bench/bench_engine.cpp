// What the playback engine costs: CPU time per second of playback for a headless engine playing
// a song in real time through SDL's disk driver, pumped as the main window pumps it (a single-shot
// timer armed for the engine's nextPassIn() and fired at once on passWanted()), with the number
// of passes, and how long the song took to be heard; the time from engine construction to the
// first buffer handed to the device;
// how long Stop() or deleting the engine takes to end a callback's wait for data, how long
// deleting an engine blocks the GUI thread at the end of a song, and how long a song change takes
// from deleting the playing engine to the new song's first sound in the device stream; and the
// CPU time of playing the demo song with both sound settings off, then with the key moved up two
// semitones and the vocals reduced.
// Usage: bench_engine [seconds]   (song length, default 30; the run takes about that long, plus
// twice the demo song)

#include "frametiming.h"
#include "mp3fixtures.h"
#include "monotonicclock.h"
#include "mp3object.h"
#include "preferences.h"
#include "singleinstance.h"
#include "soundoutput.h"
#include "soundsettings.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <numeric>

namespace {

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval &t) { return double(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

struct PlaybackRun
{
    double playbackSeconds = 0;
    double wallSeconds = 0;
    double cpuSeconds = 0;
    double firstBufferMs = -1;
    double heardSeconds = 0; // from the first frame heard to the end of the last
    double deletionMs = 0;
    int passes = 0;
};

PlaybackRun playThrough(const QString &song)
{
    PlaybackRun run;
    QElapsedTimer sinceConstruction;
    sinceConstruction.start();
    MP3Object *engine = MP3Object::Instance(song, 0);
    if (!engine)
        return run;
    SoundOutput *output = SoundOutput::Instance();
    run.playbackSeconds = engine->totalFrames() * FrameTiming::millisecondsPerFrame / 1000;

    qint64 firstSound = -1; // MonotonicClock ms of the first delivery, taken by a waiting callback
    QEventLoop loop;
    QTimer pump;
    pump.setSingleShot(true);
    QObject::connect(&pump, &QTimer::timeout, engine, [&] {
        ++run.passes;
        engine->timergo();
        if (run.firstBufferMs < 0 && output && output->hasUnplayedBuffer()) {
            run.firstBufferMs = sinceConstruction.nsecsElapsed() / 1e6;
            firstSound = MonotonicClock::now();
        }
        if (const int wait = engine->nextPassIn(); wait >= 0)
            pump.start(wait);
    });
    QObject::connect(engine, &MP3Object::passWanted, &pump, [&pump] { pump.start(0); });
    QObject::connect(engine, &MP3Object::EOS, &loop, &QEventLoop::quit);

    const double cpuBefore = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    engine->Play();
    pump.start(0);
    loop.exec();
    pump.stop();
    run.cpuSeconds = cpuSeconds() - cpuBefore;
    run.wallSeconds = wall.nsecsElapsed() / 1e9;
    // EOS() comes once the device took the last slice, which the disk driver writes and then
    // plays for one period; the last buffer's empty slots are silence before it.
    const int frames = engine->totalFrames();
    const int bufferFrames = Preferences::Instance()->bufferSize();
    const int silentFrames = (frames + bufferFrames - 1) / bufferFrames * bufferFrames - frames;
    if (firstSound >= 0)
        run.heardSeconds =
            (MonotonicClock::now() - firstSound + (1 - silentFrames) * FrameTiming::millisecondsPerFrame) /
            1000;
    QElapsedTimer deletion;
    deletion.start();
    delete engine;
    run.deletionMs = deletion.nsecsElapsed() / 1e6;
    return run;
}

// Construction to the first buffer handed to the device, a number of times: the shortest,
// mean and longest. The device thread may be anywhere in its wait for the next buffer time
// when playing starts, so single runs vary by up to one buffer time.
QList<double> firstBufferTimes(const QString &song, int rounds)
{
    QList<double> times;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer sinceConstruction;
        sinceConstruction.start();
        MP3Object *engine = MP3Object::Instance(song, 0);
        SoundOutput *output = SoundOutput::Instance();
        engine->Play();
        while (output && !output->hasUnplayedBuffer())
            engine->timergo();
        times << sinceConstruction.nsecsElapsed() / 1e6;
        delete engine;
    }
    return times;
}

// Ends the callback's wait for data a number of times, by Stop() or by deleting the engine: the
// longest and mean time the GUI thread was blocked. Both wake the waiting callback at once;
// deleting leaves the device open and silent for the next engine.
QPair<double, double> endOfWait(const QString &song, int rounds, bool byDeletion)
{
    double longest = 0;
    double total = 0;
    for (int i = 0; i < rounds; ++i) {
        MP3Object *engine = MP3Object::Instance(song, 0);
        engine->Play();
        while (!SoundOutput::Instance()->wantsData())
            QThread::usleep(200);
        QThread::msleep(i * 37 % 40); // somewhere in the callback's wait
        QElapsedTimer clock;
        clock.start();
        if (byDeletion)
            delete engine;
        else
            engine->Stop();
        const double ms = clock.nsecsElapsed() / 1e6;
        longest = std::max(longest, ms);
        total += ms;
        if (!byDeletion)
            delete engine;
    }
    return {longest, total / rounds};
}

// Songs changed mid-song a number of times: from deleting the playing engine to the new one's first
// buffer mixed into the device stream (the mean and longest), and the longest single step the GUI
// thread took meanwhile (deletion, construction, Play() or a pass).
QList<double> songChanges(const QString &song, int rounds)
{
    double total = 0, longest = 0, longestStep = 0;
    MP3Object *engine = MP3Object::Instance(song, 0);
    engine->Play();
    for (int i = 0; i <= rounds; ++i) {
        QElapsedTimer change, step;
        change.start();
        SoundOutput *output = SoundOutput::Instance();
        // The old engine plays until a slice of its sound is in the stream (the device asked
        // again after the first delivery); then the change starts.
        qint64 deliveredAt = -1;
        while (deliveredAt < 0 || output->lastRequestTime() <= deliveredAt) {
            step.start();
            engine->timergo();
            longestStep = std::max(longestStep, i ? step.nsecsElapsed() / 1e6 : 0.0);
            if (deliveredAt < 0 && output->hasUnplayedBuffer())
                deliveredAt = MonotonicClock::now();
            QThread::usleep(200);
        }
        if (i) {
            const double ms = change.nsecsElapsed() / 1e6;
            total += ms;
            longest = std::max(longest, ms);
        }
        QThread::msleep(i * 37 % 300); // somewhere in the device period
        change.start();
        step.start();
        delete engine;
        engine = MP3Object::Instance(song, 0);
        engine->Play();
        longestStep = std::max(longestStep, step.nsecsElapsed() / 1e6);
    }
    delete engine;
    return {total / rounds, longest, longestStep};
}

// The demo song played whole in real time, as playThrough does, with the given sound settings.
PlaybackRun demoWith(const QString &demo, int key, bool vocalsReduced)
{
    SoundSettings::setKey(key);
    SoundSettings::setVocalsReduced(vocalsReduced);
    const PlaybackRun run = playThrough(demo);
    SoundSettings::setKey(0);
    SoundSettings::setVocalsReduced(false);
    return run;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const double seconds = argc > 1 ? QByteArray(argv[1]).toDouble() : 30.0;
    QTemporaryDir dir;
    qputenv("SDL_AUDIODRIVER", "disk");
    qputenv("SDL_DISKAUDIOFILE", QFile::encodeName(dir.filePath("bench.raw")));
    qunsetenv("SDL_DISKAUDIODELAY"); // the disk driver keeps real time

    SingleInstance<Preferences>::createClassMutex();
    SingleInstance<MP3Object>::createClassMutex();
    SingleInstance<SoundOutput>::createClassMutex();
    Preferences::Instance(dir.filePath(QLatin1String(Preferences::fileBaseName)));

    QTextStream out(stdout);
    const QString song = dir.filePath("song.mp3");
    Mp3Fixtures::Sine sine;
    sine.seconds = seconds;
    if (!Mp3Fixtures::writeSine(song, sine)) {
        out << "cannot encode the song\n";
        return 1;
    }
    const Preferences *preferences = Preferences::Instance();
    out << QString("engine: %1 s song, buffers of %2 frames x %3, disk driver in real time\n")
               .arg(seconds)
               .arg(preferences->nextBufferSize())
               .arg(preferences->nextBufferCount());
    out.flush();

    const PlaybackRun run = playThrough(song);
    out << QString("  playback %1 s took %2 s wall from Play() to EOS(), %3 s CPU; heard from "
                   "its first frame to the end of its last: %4 s (%5 %, goal: 100 +- 1)\n")
               .arg(run.playbackSeconds, 0, 'f', 2)
               .arg(run.wallSeconds, 0, 'f', 2)
               .arg(run.cpuSeconds, 0, 'f', 2)
               .arg(run.heardSeconds, 0, 'f', 3)
               .arg(100 * run.heardSeconds / run.playbackSeconds, 0, 'f', 2);
    out << QString("  CPU per second of playback: %1 s (%2 %), %3 pump passes a second\n")
               .arg(run.cpuSeconds / run.playbackSeconds, 0, 'f', 3)
               .arg(100 * run.cpuSeconds / run.playbackSeconds, 0, 'f', 1)
               .arg(run.passes / run.wallSeconds, 0, 'f', 0);
    out << QString("  deleting the engine at the end of the song: %1 ms\n")
               .arg(run.deletionMs, 0, 'f', 1);
    out.flush();
    QList<double> times = firstBufferTimes(song, 8);
    times << run.firstBufferMs;
    std::sort(times.begin(), times.end());
    out << QString("  construction to first buffer delivered: shortest %1 ms, mean %2 ms, "
                   "longest %3 ms (%4 runs)\n")
               .arg(times.first(), 0, 'f', 1)
               .arg(std::accumulate(times.cbegin(), times.cend(), 0.0) / times.size(), 0, 'f', 1)
               .arg(times.last(), 0, 'f', 1)
               .arg(times.size());
    out.flush();

    for (const bool byDeletion : {false, true}) {
        const auto [longest, mean] = endOfWait(song, 10, byDeletion);
        out << QString("  %1 while the callback waits: mean %2 ms, longest %3 ms (10 rounds)\n")
                   .arg(byDeletion ? "deleting the engine" : "Stop()")
                   .arg(mean, 0, 'f', 1)
                   .arg(longest, 0, 'f', 1);
        out.flush();
    }

    const QList<double> change = songChanges(song, 10);
    out << QString("  song change to the new song's first sound in the device stream: mean %1 ms, "
                   "longest %2 ms; longest GUI step %3 ms (10 changes)\n")
               .arg(change[0], 0, 'f', 1)
               .arg(change[1], 0, 'f', 1)
               .arg(change[2], 0, 'f', 1);
    out.flush();

    for (const auto &[key, vocals] : {std::pair(0, false), std::pair(2, true)}) {
        const PlaybackRun demo = demoWith(QStringLiteral(KIVO_DEMO_SONG), key, vocals);
        out << QString("  demo song (%1 s), key %2, vocals %3: CPU %4 % of one core\n")
                   .arg(demo.playbackSeconds, 0, 'f', 1)
                   .arg(key)
                   .arg(vocals ? "reduced" : "kept")
                   .arg(100 * demo.cpuSeconds / demo.wallSeconds, 0, 'f', 1);
        out.flush();
    }

    SingleInstance<MP3Object>::destroy();
    SingleInstance<SoundOutput>::destroy();
    SingleInstance<Preferences>::destroy();
    return 0;
}
