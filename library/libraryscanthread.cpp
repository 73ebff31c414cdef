#include "libraryscanthread.h"

#include "librarydatabase.h"
#include "libraryscanner.h"

#include <QElapsedTimer>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

LibraryScanThread::LibraryScanThread(const QString &databaseFile, QObject *parent)
    : QThread(parent), databaseFile(databaseFile)
{
}

LibraryScanThread::~LibraryScanThread()
{
    cancel();
    wait();
}

bool LibraryScanThread::startScan(const QStringList &scanFolders, bool measureLoudness)
{
    if (isRunning())
        return false;
    folders = scanFolders;
    measure = measureLoudness;
    cancelRequested = false;
    start(QThread::LowPriority);
    return true;
}

void LibraryScanThread::cancel()
{
    cancelRequested = true;
}

void LibraryScanThread::run()
{
    // Niced, this thread alone: playback and the window come first on a busy machine.
    ::setpriority(PRIO_PROCESS, id_t(::syscall(SYS_gettid)), 10);
    LibraryDatabase database(databaseFile, LibraryDatabase::Check::Thorough);
    LibraryScanner scanner(database);
    QElapsedTimer sinceReport;
    sinceReport.start();
    scanner.setCancel(&cancelRequested);
    scanner.setMeasureLoudness(measure);
    scanner.setProgress([&](LibraryScanner::Phase phase, int done, int total) {
        if (done != total && sinceReport.elapsed() < 100)
            return;
        sinceReport.restart();
        emit progress(phase == LibraryScanner::Phase::Measuring, done, total);
    });
    const LibraryScanner::Summary summary = scanner.scan(folders);
    const QString text =
        QStringLiteral("%1 songs: %2 added, %3 updated, %4 removed, %5 measured%6")
            .arg(summary.songs)
            .arg(summary.added)
            .arg(summary.updated)
            .arg(summary.removed)
            .arg(summary.measured)
            .arg(summary.cancelled ? QStringLiteral(" (stopped)") : QString());
    emit scanFinished(text, summary.songs, database.wasRebuilt());
}
