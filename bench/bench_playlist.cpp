// Opening a 10 000-entry playlist into the shown playlist window, and one Next on that list,
// each measured up to the repainted window. Goals: under 300 ms and under 20 ms.
// Runs headless when no display is set: build/bench/bench_playlist

#include "playlistfile.h"
#include "playlistmenu.h"
#include "playlisttoolbar.h"
#include "playlistwindow.h"
#include "preferences.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int entries = 10000;
constexpr int runs = 5;

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

template <class Step> double timed(Step &&step)
{
    QElapsedTimer clock;
    clock.start();
    step();
    QCoreApplication::processEvents(); // layout and paint
    return clock.nsecsElapsed() / 1e6;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QTemporaryDir folder;
    SingleInstance<Preferences>::createClassMutex();
    SingleInstance<PlayListToolbar>::createClassMutex();
    SingleInstance<PlayListMenu>::createClassMutex();
    SingleInstance<PlayListWindow>::createClassMutex();
    Preferences::Instance(folder.filePath(QStringLiteral("bench.preferences")));

    QStringList songs;
    for (int song = 0; song < entries; ++song)
        songs << QStringLiteral("/home/listener/Music/Artist %1/Album/%2 - Song title.mp3")
                     .arg(song / 12)
                     .arg(song, 5, 10, QLatin1Char('0'));
    const QString path = folder.filePath(QStringLiteral("long.playlist"));
    QString failure;
    if (!PlayListFile::write(path, songs, failure)) {
        std::fprintf(stderr, "cannot write %s: %s\n", qPrintable(path), qPrintable(failure));
        return 1;
    }

    PlayListWindow *window = PlayListWindow::Instance();
    window->show();
    QCoreApplication::processEvents();
    std::vector<double> opening;
    std::vector<double> next;
    for (int run = 0; run < runs; ++run) {
        opening.push_back(timed([&] { window->openFile(path); }));
        next.push_back(timed([&] { window->goNext(); }));
    }
    std::printf("open %d entries: median %.1f ms, worst %.1f ms (goal < 300 ms)\n", entries,
                median(opening), *std::max_element(opening.begin(), opening.end()));
    std::printf("one Next:        median %.2f ms, worst %.2f ms (goal < 20 ms)\n", median(next),
                *std::max_element(next.begin(), next.end()));
    if (window->songCount() != entries || window->currentSongFile() != songs[1])
        return 1;
    delete window;
    SingleInstance<PlayListWindow>::destroy();
    SingleInstance<PlayListMenu>::destroy();
    SingleInstance<PlayListToolbar>::destroy();
    SingleInstance<Preferences>::destroy();
    return 0;
}
