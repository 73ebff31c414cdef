// Highlight latency: the whole main window plays a song with word-stamped lyrics in real time
// through SDL's disk driver, its pass timer driving the engine. For every lyrics page that
// reaches the display (after the label has drawn it), the delay from the moment its frame is
// heard, the due time the sound output stamped on it, to that moment: mean, 99th percentile,
// longest, and how many came before their frame was heard. Goal: 99th percentile at most 5 ms,
// none early.
//
// Every pass of the window's pass timer is watched: a page shown in a pass belongs to the first
// frame whose stamp the pass took, and its due time is the one that stamp carried (the engine's
// nextDueTime() just before the pass). A pass that took more than one stamp (it came late) is
// charged to the earliest of them, so such a pass can only make the figures worse.
// On a machine shared with other work a pass may wait for a core; run under `chrt -f 10` to
// see the player's own delay without that.
// Usage: bench_highlight [seconds]   (song length, default 30; the run takes about that long)

#include "entry.h"
#include "lyricsdata.h"
#include "mainwindow.h"
#include "monotonicclock.h"
#include "mp3fixtures.h"
#include "mp3object.h"
#include "preferences.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include <time.h>

#include <algorithm>
#include <cmath>
#include <numeric>

namespace {

double monotonicNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec) * 1e9 + double(now.tv_nsec);
}

// MonotonicClock counts whole milliseconds from an origin of its own; waiting for its next tick
// finds that origin on CLOCK_MONOTONIC to within microseconds.
double monotonicClockOriginNs()
{
    const qint64 start = MonotonicClock::now();
    qint64 tick = start;
    while (tick == start)
        tick = MonotonicClock::now();
    return monotonicNs() - double(tick) * 1e6;
}

// Words every 250 to 550 ms, four to a line and two lines to a page, from 0.5 s to the end.
QByteArray wordStampedLyrics(double seconds)
{
    QByteArray lrc;
    int word = 0;
    for (int at = 500; at < int(seconds * 1000) - 1000; ++word) {
        const auto stamp = [](int ms) {
            return QString::asprintf("%02d:%02d.%02d", ms / 60000, ms / 1000 % 60, ms / 10 % 100)
                .toLatin1();
        };
        if (word % 4 == 0)
            lrc += (word ? "\n[" : "[") + stamp(at) + "]";
        lrc += "<" + stamp(at) + ">word" + QByteArray::number(word) + " ";
        at += 250 + word * 73 % 300;
    }
    return lrc + "\n";
}

// Watches every pass of the main window's pass timer: the engine's position before and after it,
// the next stamp's due time before it, and the pages shown during it.
class PassWatch : public QApplication
{
public:
    using QApplication::QApplication;

    QTimer *passTimer = nullptr;
    struct Shown
    {
        double atMs = 0;        // drawn, on MonotonicClock's scale
        double passStartMs = 0; // when the pass that showed it began
        qint64 dueMs = -1;      // the due time of the first stamp the pass took
        int firstFrame = 0;     // the earliest frame the pass moved onto
        int lastFrame = 0;
    };
    QList<Shown> shown;
    int passes = 0;
    bool ended = false;

    bool notify(QObject *receiver, QEvent *event) override
    {
        if (receiver != passTimer || event->type() != QEvent::Timer)
            return QApplication::notify(receiver, event);
        ++passes;
        MP3Object *engine = MP3Object::hasAnInstance() ? MP3Object::Instance() : nullptr;
        if (engine && engine != watched)
            watch(engine);
        const int before = engine ? engine->position() : 0;
        const qint64 due = engine ? engine->nextDueTime() : -1;
        const double passStart = (monotonicNs() - originNs) / 1e6;
        const qsizetype shownBefore = shown.size();
        const bool result = QApplication::notify(receiver, event);
        MP3Object *after = MP3Object::hasAnInstance() ? MP3Object::Instance() : nullptr;
        if (after != engine) { // a song change in the pass: its pages are not the song's
            shown.resize(shownBefore);
            return result;
        }
        for (qsizetype i = shownBefore; i < shown.size(); ++i) {
            shown[i].passStartMs = passStart;
            shown[i].dueMs = due;
            shown[i].firstFrame = std::min(before + 1, engine->position());
            shown[i].lastFrame = engine->position();
        }
        return result;
    }

    double originNs = monotonicClockOriginNs();

private:
    void watch(MP3Object *engine)
    {
        watched = engine;
        // Connected after the window's own connection, so the label has drawn the page.
        QObject::connect(engine, &MP3Object::DisplayLyrics, engine, [this](LyricsData *) {
            shown << Shown{(monotonicNs() - originNs) / 1e6};
        });
        QObject::connect(engine, &MP3Object::EOS, engine, [this] {
            ended = true;
            QTimer::singleShot(0, this, &QCoreApplication::quit);
        });
    }

    MP3Object *watched = nullptr;
};

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir dir;
    qputenv("SDL_AUDIODRIVER", "disk");
    qputenv("SDL_DISKAUDIOFILE", "/dev/null");
    qunsetenv("SDL_DISKAUDIODELAY"); // the disk driver keeps real time
    PassWatch application(argc, argv);
    const double seconds = argc > 1 ? QByteArray(argv[1]).toDouble() : 30.0;
    QTextStream out(stdout);
    if (createClassMutexes() != 0 || !Preferences::Instance(dir.filePath("bench.preferences")))
        return 1;
    Preferences::Instance()->setAutoPlay(true);

    const QString song = dir.filePath("song.mp3");
    Mp3Fixtures::Sine sine;
    sine.seconds = seconds;
    if (!Mp3Fixtures::writeSine(song, sine) ||
        !Mp3Fixtures::writeFile(dir.filePath("song.lrc"), wordStampedLyrics(seconds))) {
        out << "cannot write the song\n";
        return 1;
    }
    const int framesPerBuffer = Preferences::Instance()->nextBufferSize();
    out << QString("highlight: %1 s song, words every 250-550 ms, buffers of %2 frames, "
                   "main window offscreen, disk driver in real time\n")
               .arg(seconds)
               .arg(framesPerBuffer);
    out.flush();

    MainWindow *window = MainWindow::Instance();
    application.passTimer = window->findChild<QTimer *>(QStringLiteral("passTimer"));
    window->show();
    window->loadFile(song);
    QTimer::singleShot(int(seconds * 1000) + 10000, &application, &QCoreApplication::quit);
    QApplication::exec();

    QList<double> delays;
    double longestStart = 0, longestInPass = 0;
    int early = 0, late = 0, unplaced = 0;
    for (const PassWatch::Shown &page : std::as_const(application.shown)) {
        if (page.dueMs < 0) {
            ++unplaced;
            continue;
        }
        const double due = double(page.dueMs);
        delays << page.atMs - due;
        early += delays.last() < 0;
        late += page.lastFrame > page.firstFrame;
        longestStart = std::max(longestStart, page.passStartMs - due);
        longestInPass = std::max(longestInPass, page.atMs - page.passStartMs);
    }
    std::sort(delays.begin(), delays.end());
    if (delays.isEmpty() || !application.ended) {
        out << "  the song did not play to its end with lyrics\n";
        return 1;
    }
    const auto percentile = [&delays](double share) {
        return delays[std::clamp<qsizetype>(qsizetype(std::ceil(delays.size() * share)) - 1, 0,
                                            delays.size() - 1)];
    };
    out << QString("  %1 pages shown, frame heard to display: mean %2 ms, median %3 ms, "
                   "99th percentile %4 ms, longest %5 ms, shortest %6 ms; %7 early "
                   "(goal: p99 <= 5 ms, none early)\n")
               .arg(delays.size())
               .arg(std::accumulate(delays.cbegin(), delays.cend(), 0.0) / delays.size(), 0, 'f', 2)
               .arg(percentile(0.5), 0, 'f', 2)
               .arg(percentile(0.99), 0, 'f', 2)
               .arg(delays.last(), 0, 'f', 2)
               .arg(delays.first(), 0, 'f', 2)
               .arg(early);
    // A pass that starts late with the GUI thread idle waited for the timer or for a core; one
    // that takes long had work before the lyrics (a buffer decoded) or a slow drawing.
    out << QString("  longest from a due time to the start of its pass %1 ms, from a pass's start "
                   "to the page drawn %2 ms; %3 pages in passes that moved more than one frame, "
                   "%4 not placed; %5 passes a second\n")
               .arg(longestStart, 0, 'f', 2)
               .arg(longestInPass, 0, 'f', 2)
               .arg(late)
               .arg(unplaced)
               .arg(application.passes / seconds, 0, 'f', 0);
    out.flush();
    window->close();
    destroyInstances();
    return 0;
}
