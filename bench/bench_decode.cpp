// Decoding speed of the decoder library against libmpg123 decoding the same file directly, and
// the time the frame decoder takes to open and count a long song.
//
// Usage: bench_decode [repeats]   (default 3; the best run counts)
#include "framedecoder.h"
#include "kwo_mp3d.h"
#include "mp3fixtures.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <mpg123.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

// Seconds of processor time spent by this thread: steadier than the wall clock on a machine
// shared with other work.
double cpuSeconds()
{
    timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + now.tv_nsec / 1e9;
}

// A tone in the middle of the hearing range, 128 kbps stereo. A pure tone decodes faster than
// music, so the library's fixed cost per frame weighs more here than with real songs.
QString makeSong(const QTemporaryDir &dir, const char *name, double seconds)
{
    Mp3Fixtures::Sine sine;
    sine.seconds = seconds;
    sine.frequency = 997;
    sine.bitrate = 128;
    const QString path = dir.filePath(name);
    if (!Mp3Fixtures::writeSine(path, sine))
        qFatal("cannot encode %s", name);
    return path;
}

// libmpg123 on its own: open and decode every frame in place, no copy.
double rawFramesPerSecond(const QByteArray &path, long *frames)
{
    const double start = cpuSeconds();
    mpg123_handle *handle = mpg123_new(nullptr, nullptr);
    mpg123_param(handle, MPG123_FLAGS, MPG123_GAPLESS | MPG123_QUIET, 0);
    mpg123_format_none(handle);
    mpg123_format(handle, 44100, MPG123_STEREO, MPG123_ENC_SIGNED_16);
    if (mpg123_open(handle, path.constData()) != MPG123_OK)
        qFatal("libmpg123 cannot open the song");
    off_t number;
    unsigned char *audio;
    size_t bytes, total = 0;
    int result;
    while ((result = mpg123_decode_frame(handle, &number, &audio, &bytes)) == MPG123_OK ||
           result == MPG123_NEW_FORMAT)
        total += bytes;
    mpg123_delete(handle);
    const double seconds = cpuSeconds() - start;
    *frames = long(total / 4608);
    return *frames / seconds;
}

// The library: Init (which scans the file) and DecodeNextFrame to the end.
double libraryFramesPerSecond(const QByteArray &path, long *frames)
{
    const double start = cpuSeconds();
    StreamInfo info;
    if (!(KWO_MP3D_Init(path.constData(), &info) & 0xff))
        qFatal("the library cannot open the song");
    static unsigned char pcm[4608];
    unsigned char content[2];
    long n = 0;
    while (KWO_MP3D_DecodeNextFrame(pcm, content))
        ++n;
    KWO_MP3D_Close();
    const double seconds = cpuSeconds() - start;
    *frames = n;
    return n / seconds;
}

void quiet(QtMsgType, const QMessageLogContext &, const QString &) {}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int repeats = qMax(1, argc > 1 ? atoi(argv[1]) : 3);
    mpg123_init();
    QTemporaryDir dir;
    std::printf("encoding a 5-minute and a 10-minute 128 kbps song...\n");
    const QByteArray five = QFile::encodeName(makeSong(dir, "five.mp3", 300));
    const QString ten = makeSong(dir, "ten.mp3", 600);

    double bestRaw = 0, bestLibrary = 0;
    long rawFrames = 0, libraryFrames = 0;
    for (int i = 0; i < repeats; ++i) {
        bestRaw = std::max(bestRaw, rawFramesPerSecond(five, &rawFrames));
        bestLibrary = std::max(bestLibrary, libraryFramesPerSecond(five, &libraryFrames));
    }
    std::printf("decode 5 min: libmpg123 %ld frames at %.0f frames/s, library %ld frames at "
                "%.0f frames/s (processor time), ratio %.3f (goal >= 0.9)\n",
                rawFrames, bestRaw, libraryFrames, bestLibrary, bestLibrary / bestRaw);

    qInstallMessageHandler(quiet); // the count's debug line, once per run
    std::vector<double> counts;
    qint32 total = 0;
    for (int i = 0; i < std::max(repeats, 5); ++i) {
        QElapsedTimer timer;
        timer.start();
        FrameDecoder decoder(ten);
        counts.push_back(timer.nsecsElapsed() / 1e6);
        total = decoder.totalFrames();
    }
    std::sort(counts.begin(), counts.end());
    std::printf("open and count 10 min (%d frames): median %.2f ms, worst %.2f ms (wall clock, "
                "goal < 20 ms)\n",
                total, counts[counts.size() / 2], counts.back());
    return 0;
}
