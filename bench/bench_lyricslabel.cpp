// What one lyrics redraw costs: a four-line page redrawn with its highlight one character further
// each time (the wipe), the same page dimmed with the countdown's marks before its first word (a
// cue), and a new page every time (each one laid out afresh), with a notice showing in the
// corner throughout. The window at its default size draws in the lyrics font as today; full HD
// and 4K are the stage, the page fitted to the screen. Goals for the wipe and the cue: under 2 ms
// at 500 x 250, under 4 ms at 1920 x 1080, under 8 ms at 3840 x 2160 (median).
// Usage: bench_lyricslabel [redraws per case]   (default 400)

#include "lyricsdata.h"
#include "lyricslabel.h"
#include "preferences.h"
#include "singleinstance.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QEventLoop>
#include <QTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace {

const QString page = QStringLiteral("Under the lanterns of the harbour town\n"
                                    "we sang the songs our fathers wrote\n"
                                    "and every verse came drifting down\n"
                                    "like paper boats on evening light");

// A song whose page is first sung at 8 s: its LRC file beside an empty song file.
QString writeSong(const QTemporaryDir &dir)
{
    QFile lrc(dir.filePath(QStringLiteral("bench.lrc")));
    lrc.open(QIODevice::WriteOnly);
    qint64 ms = 8000;
    for (const QString &line : page.split(QLatin1Char('\n'))) {
        lrc.write(QStringLiteral("[00:%1.00]%2\n").arg(ms / 1000, 2, 10, QLatin1Char('0'))
                      .arg(line)
                      .toUtf8());
        ms += 3000;
    }
    QFile song(dir.filePath(QStringLiteral("bench.mp3")));
    song.open(QIODevice::WriteOnly);
    return song.fileName();
}

struct Figures
{
    double median = 0;
    double p95 = 0;
};

Figures time(int redraws, const std::function<void(int)> &redraw)
{
    redraw(0); // the first drawing allocates the pixmaps
    std::vector<double> ms;
    QElapsedTimer timer;
    for (int i = 0; i < redraws; ++i) {
        timer.start();
        redraw(i);
        ms.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], ms[ms.size() * 95 / 100]};
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const int redraws = argc > 1 ? std::max(1, atoi(argv[1])) : 400;
    QTemporaryDir dir;
    SingleInstance<Preferences>::createClassMutex();
    Preferences::Instance(dir.filePath(QLatin1String(Preferences::fileBaseName)));
    const QString song = writeSong(dir);

    // Every highlight step of the wipe, made up front as the lyrics decoder makes them, and pages
    // that differ in one word, for the new-page case.
    std::vector<std::unique_ptr<LyricsData>> steps;
    for (int end = 1; end <= page.size(); ++end)
        steps.push_back(std::make_unique<LyricsData>(page, 0, end));
    std::vector<std::unique_ptr<LyricsData>> pages;
    for (int i = 0; i < 64; ++i)
        pages.push_back(std::make_unique<LyricsData>(page + QStringLiteral(" %1").arg(i), 0, 0));

    std::printf("lyrics redraw, four-line page, a notice showing, %d redraws per case "
                "(offscreen, device pixel ratio %.1f), median / 95th percentile in ms\n",
                redraws, application.devicePixelRatio());
    const struct
    {
        QSize size;
        bool fit;
        double goalMs;
    } sizes[] = {{{500, 250}, false, 2.0}, {{1920, 1080}, true, 4.0}, {{3840, 2160}, true, 8.0}};
    for (const auto &[size, fit, goalMs] : sizes) {
        LyricsLabel label;
        label.resize(size);
        label.setFitToWindow(fit);
        label.showNotice(QStringLiteral("Key +2"));
        const Figures wipe = time(redraws, [&](int i) {
            label.ScreenRedraw(steps[(steps.size() / 2 + i) % steps.size()].get());
        });
        const Figures fresh =
            time(redraws, [&](int i) { label.ScreenRedraw(pages[i % pages.size()].get()); });
        QEventLoop reading;
        QObject::connect(&label, &LyricsLabel::songRead, &reading, &QEventLoop::quit);
        QTimer::singleShot(5000, &reading, &QEventLoop::quit);
        label.setSong(song);
        reading.exec();
        LyricsData unsung(page, 0, 0);
        label.ScreenRedraw(&unsung);
        // The marks change at every step, so each position is drawn afresh.
        const Figures cue = time(redraws, [&](int i) {
            label.setPlayPosition(5000 + (i % 3) * 1000); // 3, 2, 1 marks
        });
        const bool met = wipe.median < goalMs && cue.median < goalMs;
        std::printf("  %4d x %4d %s: wipe %.3f / %.3f, cue with countdown %.3f / %.3f "
                    "(goal < %.0f ms: %s); new page laid out %.3f / %.3f\n",
                    size.width(), size.height(), fit ? "fitted" : "window", wipe.median,
                    wipe.p95, cue.median, cue.p95, goalMs, met ? "met" : "MISSED", fresh.median,
                    fresh.p95);
    }
    return 0;
}
