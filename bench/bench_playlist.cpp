// Opening a 10 000-entry playlist into the shown playlist window, and one Next on that list,
// each measured up to the repainted window. Goals: under 300 ms and under 20 ms. Then a hostile
// list of 4 million empty entries (16 MB): opened within a second, growing the process by at
// most ten times the file's size.
// Runs headless when no display is set: build/bench/bench_playlist

#include "playlistfile.h"
#include "playlistmenu.h"
#include "playlisttoolbar.h"
#include "playlistwindow.h"
#include "preferences.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
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

// The process's resident set now, from /proc.
long residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return 0;
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

    const QString hostile = folder.filePath(QStringLiteral("empty.playlist"));
    QFile list(hostile);
    const QByteArray emptyEntries(4'000'000 * 4, '\0');
    if (!list.open(QIODevice::WriteOnly) ||
        list.write(QByteArray::fromHex("00000000003D0900")) != 8 ||
        list.write(emptyEntries) != emptyEntries.size())
        return 1;
    list.close();
    const long before = residentKiB();
    const double hostileMs = timed([&] { window->openFile(hostile); });
    std::printf("open 4 million empty entries (16 MB): %.1f ms (goal < 1000 ms), resident "
                "%+ld KiB (goal < 160 000 KiB), %d entries taken\n",
                hostileMs, residentKiB() - before, window->songCount());
    delete window;
    SingleInstance<PlayListWindow>::destroy();
    SingleInstance<PlayListMenu>::destroy();
    SingleInstance<PlayListToolbar>::destroy();
    SingleInstance<Preferences>::destroy();
    return 0;
}
