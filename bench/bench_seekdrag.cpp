// The window while the seek bar is dragged across a playing ten-minute song for 3 s (150 moves
// 20 ms apart, resting twice the drag's rest half way, so the drag seeks there and on release),
// and while single seeks go to 0:10 and 9:50: the longest stall of the GUI event loop, measured by
// a 1 ms timer. Goal: no stall over 50 ms during the drag, a seek blocks the loop at most 20 ms.
// Usage: bench_seekdrag [song.mp3]   (default: a ten-minute 440 Hz tone made here)

#include "entry.h"
#include "mainwindow.h"
#include "modalanswers.h"
#include "mp3fixtures.h"
#include "mp3object.h"
#include "preferences.h"
#include "seekbar.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

// Gaps between the ticks of a 1 ms timer while it runs.
class StallMeter
{
public:
    StallMeter()
    {
        tick.setTimerType(Qt::PreciseTimer);
        tick.setInterval(1);
        QObject::connect(&tick, &QTimer::timeout, [this] {
            gaps.push_back(clock.nsecsElapsed() / 1e6);
            clock.start();
        });
    }
    void start()
    {
        gaps.clear();
        clock.start();
        tick.start();
    }
    void report(const char *what)
    {
        tick.stop();
        std::sort(gaps.begin(), gaps.end());
        const auto over =
            std::count_if(gaps.begin(), gaps.end(), [](double ms) { return ms > 50; });
        std::printf("%-12s longest stall %6.1f ms, 99th percentile %5.1f ms, %ld over 50 ms "
                    "(%zu ticks)\n",
                    what, gaps.empty() ? 0.0 : gaps.back(),
                    gaps.empty() ? 0.0 : gaps[gaps.size() * 99 / 100], long(over), gaps.size());
    }

private:
    QTimer tick;
    QElapsedTimer clock;
    std::vector<double> gaps;
};

// Runs the event loop itself (QTest::qWait sleeps between its passes) until done() or ms pass.
bool waitFor(const std::function<bool()> &done, int ms = 20000)
{
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    check.start(2);
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    if (!done())
        loop.exec();
    return done();
}

void runFor(int ms)
{
    waitFor([] { return false; }, ms);
}

int heard()
{
    return MP3Object::hasAnInstance() ? MP3Object::Instance()->position() : -1;
}

} // namespace

int main(int argc, char **argv)
{
    for (const auto &[name, value] :
         {std::pair("QT_QPA_PLATFORM", "offscreen"), std::pair("SDL_AUDIODRIVER", "disk")}) {
        if (qEnvironmentVariableIsEmpty(name))
            qputenv(name, value);
    }
    QTemporaryDir dir;
    qputenv("SDL_DISKAUDIOFILE", QFile::encodeName(dir.filePath("sound.raw")));
    QApplication application(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    QString song = argc > 1 ? QString::fromLocal8Bit(argv[1]) : dir.filePath("ten.mp3");
    if (argc < 2) {
        Mp3Fixtures::Sine sine;
        sine.seconds = 600;
        if (!Mp3Fixtures::writeSine(song, sine))
            return 1;
    }
    createClassMutexes();
    Preferences::Instance(dir.filePath("bench.preferences"))->setAutoPlay(false);
    MainWindow *window = MainWindow::Instance();
    window->show();
    window->loadFile(song);
    auto *play = window->findChild<QToolButton *>("Play");
    if (!waitFor([play] { return play->isEnabled(); }))
        return 1;
    play->click();
    const int length = MP3Object::Instance()->totalFrames();
    std::printf("song of %d frames, playing\n", length);

    StallMeter meter;
    for (const int frame : {383, length - 383}) { // 0:10 and 9:50 on a ten-minute song
        runFor(300);
        meter.start();
        window->seekTo(frame);
        waitFor([frame] { return heard() >= frame; });
        runFor(100);
        meter.report(qPrintable(QStringLiteral("seek to %1").arg(MainWindow::formatTime(frame))));
    }

    auto *slider = window->findChild<QSlider *>("seekSlider");
    const int y = slider->height() / 2, from = slider->width() / 20, to = slider->width() * 9 / 10;
    int seeks = 0;
    QObject::connect(window->findChild<SeekBar *>(), &SeekBar::seekRequested,
                     [&seeks] { ++seeks; });
    meter.start();
    QTest::mousePress(slider, Qt::LeftButton, {}, {from, y});
    for (int i = 1; i <= 150; ++i) {
        QTest::mouseMove(slider, {from + (to - from) * i / 150, y});
        runFor(i == 75 ? SeekBar::dragRestMs * 2 : 20);
    }
    const int released = slider->value();
    QTest::mouseRelease(slider, Qt::LeftButton, {}, {to, y});
    const bool arrived = waitFor([released] { return heard() > released; });
    meter.report("3 s drag");
    std::printf("%d seeks asked for; let go at frame %d, the song %s there (at %d)\n", seeks,
                released, arrived && heard() < released + 200 ? "plays on from" : "is NOT",
                heard());
    Answers answers({"PlayListChangedBox=no"}); // the song opened counts as a changed list
    window->close();
    destroyInstances();
    return 0;
}
