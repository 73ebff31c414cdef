// CD+G graphics: how long reading a 10-minute .cdg takes, how long a jump to any place of it
// takes with the exact screen made into a picture (goal: at most 15 ms), and how long a zipped
// 5 MB pair takes from the engine's construction, the extraction included, to its first buffer
// handed to the device (goal: at most 150 ms), against the bare .mp3.
// Usage: bench_cdg                 runs the three measures
//        bench_cdg --write DIR     writes DIR/song.zip and DIR/plain.mp3 for bench/cdg-cpu.sh
#include "cdgsong.h"
#include "karaokefiles.h"
#include "karaokefixtures.h"
#include "mp3fixtures.h"
#include "mp3object.h"
#include "preferences.h"
#include "singleinstance.h"
#include "soundoutput.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>

namespace {

// A karaoke disc's way of drawing: every 4 s a page of three lines of text tiles is drawn, then
// wiped syllable by syllable with exclusive-or tiles; a new colour table every 20 s and a
// cleared screen (sent 16 times, as discs do) every 60 s. Most packets are empty.
QByteArray discLikeGraphics(int seconds)
{
    QRandomGenerator random(7);
    KaraokeFixtures::Cdg cdg;
    const int packets = seconds * CdgSong::packetsPerSecond;
    for (int second = 0; second < seconds; second += 4) {
        const int start = second * CdgSong::packetsPerSecond;
        cdg.at(start);
        if (second % 20 == 0)
            cdg.colors(0, {0x000, 0xFFF, 0xF00, 0x00F}).colors(8, {0x888, 0x0F0});
        if (second % 60 == 0) {
            for (int i = 0; i < 16; ++i)
                cdg.memoryPreset(0);
            cdg.borderPreset(3);
        }
        std::array<int, 12> rows{};
        for (int line = 0; line < 3; ++line) {
            for (int column = 4; column < 46; ++column) {
                for (int &bits : rows)
                    bits = random.bounded(64);
                cdg.tile(0, 1, 4 + 4 * line, column, rows);
            }
        }
        for (int step = 0; step < 126; ++step) {
            cdg.at(start + 400 + step * 6);
            cdg.tile(0, 3, 4 + 4 * (step / 42), 4 + step % 42, {63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63}, true);
        }
    }
    return cdg.at(packets).bytes.left(qsizetype(packets) * 24);
}

void measureJumps(QTextStream &out)
{
    const QByteArray bytes = discLikeGraphics(600);
    QElapsedTimer clock;
    clock.start();
    CdgSong song;
    song.setBytes(bytes);
    out << QString("cdg: 10-minute song, %1 packets, %2 screen changes, read and indexed in %3 ms\n")
               .arg(song.packetCount())
               .arg(song.changeCount())
               .arg(clock.nsecsElapsed() / 1e6, 0, 'f', 1);
    QRandomGenerator random(3);
    QList<double> times;
    for (int i = 0; i < 300; ++i) {
        const int to = random.bounded(song.packetCount());
        clock.restart();
        song.seek(to);
        const QImage picture = song.screen().image().convertToFormat(QImage::Format_RGB32);
        times << clock.nsecsElapsed() / 1e6;
        Q_UNUSED(picture);
    }
    std::sort(times.begin(), times.end());
    out << QString("  jump to a random place and make its picture, 300 jumps: median %1 ms, "
                   "longest %2 ms (goal: at most 15 ms)\n")
               .arg(times[times.size() / 2], 0, 'f', 2)
               .arg(times.last(), 0, 'f', 2);
}

// The engine built for song (a zip is extracted then), played until the first buffer is handed to
// the device; the main window reads the graphics on a thread of their own meanwhile.
double firstSound(const QString &song)
{
    QElapsedTimer clock;
    clock.start();
    MP3Object *engine = MP3Object::Instance(song, 0);
    SoundOutput *output = SoundOutput::Instance();
    engine->Play();
    while (output && !output->hasUnplayedBuffer())
        engine->timergo();
    const double ms = clock.nsecsElapsed() / 1e6;
    delete engine;
    return ms;
}

bool writeSongs(const QString &dir, QTextStream &out)
{
    Mp3Fixtures::Sine sine;
    sine.seconds = 5.0 * 1024 * 1024 * 8 / 128000; // 5 MB at 128 kbps
    const QByteArray mp3 = Mp3Fixtures::encodeSine(sine);
    const QByteArray cdg = discLikeGraphics(int(sine.seconds));
    out << QString("  songs: %1 MB .mp3, %2 MB .cdg, %3 s\n")
               .arg(mp3.size() / 1048576.0, 0, 'f', 2)
               .arg(cdg.size() / 1048576.0, 0, 'f', 2)
               .arg(sine.seconds, 0, 'f', 0);
    return Mp3Fixtures::writeFile(dir + "/plain.mp3", mp3) &&
           KaraokeFixtures::zip(dir + "/song.zip", {{"Song.mp3", mp3}, {"Song.cdg", cdg}});
}

void measureZipOpening(const QString &dir, QTextStream &out)
{
    QList<double> zipped, plain;
    for (int i = 0; i < 3; ++i) {
        const QString copy = dir + QString("/part%1.zip").arg(i);
        QFile::copy(dir + "/song.zip", copy);
        QElapsedTimer clock;
        clock.start();
        const QString audio = KaraokeFiles::audioFile(copy);
        const double extraction = clock.nsecsElapsed() / 1e6;
        CdgSong graphics;
        graphics.open(KaraokeFiles::graphicsFile(copy));
        out << QString("  zipped pair: its .mp3 extracted in %1 ms; its .cdg extracted, read and indexed in %2 ms\n")
                   .arg(extraction, 0, 'f', 1)
                   .arg(clock.nsecsElapsed() / 1e6 - extraction, 0, 'f', 1);
    }
    for (int i = 0; i < 5; ++i) {
        const QString copy = dir + QString("/copy%1.zip").arg(i); // a fresh archive every time
        QFile::copy(dir + "/song.zip", copy);
        zipped << firstSound(copy);
        plain << firstSound(dir + "/plain.mp3");
    }
    std::sort(zipped.begin(), zipped.end());
    std::sort(plain.begin(), plain.end());
    out << QString("  zipped pair, construction to the first buffer handed over: median %1 ms, "
                   "longest %2 ms (goal: at most 150 ms); the bare .mp3: median %3 ms\n")
               .arg(zipped[2], 0, 'f', 1)
               .arg(zipped.last(), 0, 'f', 1)
               .arg(plain[2], 0, 'f', 1);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QTextStream out(stdout);
    if (argc == 3 && QByteArray(argv[1]) == "--write")
        return writeSongs(QString::fromLocal8Bit(argv[2]), out) ? 0 : 1;
    measureJumps(out);
    out.flush();

    QTemporaryDir dir;
    qputenv("SDL_AUDIODRIVER", "disk");
    qputenv("SDL_DISKAUDIOFILE", QFile::encodeName(dir.filePath("bench.raw")));
    qunsetenv("SDL_DISKAUDIODELAY");
    SingleInstance<Preferences>::createClassMutex();
    SingleInstance<MP3Object>::createClassMutex();
    SingleInstance<SoundOutput>::createClassMutex();
    Preferences::Instance(dir.filePath(QLatin1String(Preferences::fileBaseName)));
    if (!writeSongs(dir.path(), out))
        return 1;
    measureZipOpening(dir.path(), out);
    return 0;
}
