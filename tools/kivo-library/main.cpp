// kivo-library: the player's song library for hosts with big collections and for scripts.
//   kivo-library add DIR | remove DIR     changes the library folders
//   kivo-library scan [--loudness]        brings the index in line with the folders
//   kivo-library search [--json] WORDS... prints the songs found, one a line
//   kivo-library stats                    counts what the library holds
// It uses the player's database ($XDG_DATA_HOME/VantrelKivo/library.sqlite) and may run while
// the player does.
#include "librarydatabase.h"
#include "libraryindex.h"
#include "libraryscanner.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <climits>
#include <cstdio>

namespace {

void say(FILE *to, const QString &text)
{
    std::fputs((text + QLatin1Char('\n')).toUtf8().constData(), to);
}

int fail(const QString &text)
{
    say(stderr, QStringLiteral("kivo-library: ") + text);
    return 1;
}

int usage()
{
    say(stderr, QStringLiteral(
                    "usage: kivo-library add DIR\n"
                    "       kivo-library remove DIR\n"
                    "       kivo-library scan [--loudness]\n"
                    "       kivo-library search [--json] WORDS...\n"
                    "       kivo-library stats\n"
                    "scan reads changed songs (and with --loudness measures their loudness);\n"
                    "search prints path, title, artist and seconds, tab-separated."));
    return 2;
}

int scan(bool loudness)
{
    const QString file = LibraryIndex::standardFileName();
    LibraryDatabase database(file, LibraryDatabase::Check::Thorough);
    if (!database.isOpen())
        return fail(QStringLiteral("%1: cannot be opened").arg(file));
    LibraryScanner scanner(database);
    scanner.setMeasureLoudness(loudness);
    QElapsedTimer sinceReport;
    sinceReport.start();
    scanner.setProgress([&](LibraryScanner::Phase phase, int done, int total) {
        if (done != total && sinceReport.elapsed() < 500)
            return;
        sinceReport.restart();
        say(stderr, QStringLiteral("%1 %2 of %3")
                        .arg(phase == LibraryScanner::Phase::Reading ? QStringLiteral("reading")
                                                                     : QStringLiteral("measuring"))
                        .arg(done)
                        .arg(total));
    });
    const auto summary = scanner.scan(LibraryDatabase::folders(file));
    say(stdout, QStringLiteral("%1 songs: %2 added, %3 updated, %4 removed, %5 unchanged, %6 measured")
                    .arg(summary.songs)
                    .arg(summary.added)
                    .arg(summary.updated)
                    .arg(summary.removed)
                    .arg(summary.unchanged)
                    .arg(summary.measured));
    return 0;
}

int search(QStringList words)
{
    const bool json = words.removeAll(QStringLiteral("--json")) > 0;
    const LibraryIndex library;
    for (const LibrarySong &song : library.search(words.join(QLatin1Char(' ')), INT_MAX)) {
        if (json) {
            const QJsonObject object{{QStringLiteral("id"), song.id},
                                     {QStringLiteral("path"), song.path},
                                     {QStringLiteral("title"), song.title},
                                     {QStringLiteral("artist"), song.artist},
                                     {QStringLiteral("album"), song.album},
                                     {QStringLiteral("seconds"), song.seconds},
                                     {QStringLiteral("lyrics"), song.hasLyrics},
                                     {QStringLiteral("graphics"), song.hasGraphics}};
            say(stdout, QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)));
        } else {
            say(stdout, QStringList{song.path, song.title, song.artist, QString::number(song.seconds)}
                            .join(QLatin1Char('\t')));
        }
    }
    return 0;
}

int stats()
{
    const LibraryIndex library;
    const LibraryIndex::Stats stats = library.stats();
    say(stdout, QStringLiteral("folders\t%1\nsongs\t%2\nwith lyrics\t%3\nwith CD+G\t%4\n"
                               "with loudness\t%5\nhours\t%6")
                    .arg(stats.folders)
                    .arg(stats.songs)
                    .arg(stats.withLyrics)
                    .arg(stats.withGraphics)
                    .arg(stats.withLoudness)
                    .arg(double(stats.seconds) / 3600.0, 0, 'f', 1));
    for (const QString &folder : library.folders())
        say(stdout, QStringLiteral("folder\t") + folder);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.isEmpty())
        return usage();
    const QString command = args.takeFirst();
    LibraryIndex library;
    if (command == QLatin1String("add") && args.size() == 1) {
        if (!QFileInfo(args[0]).isDir())
            return fail(QStringLiteral("%1: no such folder").arg(args[0]));
        if (!library.addFolder(args[0]))
            return fail(QStringLiteral("%1: already in the library").arg(args[0]));
        return 0;
    }
    if (command == QLatin1String("remove") && args.size() == 1)
        return library.removeFolder(args[0]) ? 0
                                             : fail(QStringLiteral("%1: not a library folder").arg(args[0]));
    if (command == QLatin1String("scan") && args.size() <= 1 &&
        (args.isEmpty() || args[0] == QLatin1String("--loudness")))
        return scan(!args.isEmpty());
    if (command == QLatin1String("search") && !args.isEmpty())
        return search(args);
    if (command == QLatin1String("stats") && args.isEmpty())
        return stats();
    return usage();
}
