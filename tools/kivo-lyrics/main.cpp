// kivo-lyrics: for people who make karaoke songs.
//   kivo-lyrics embed SONG.mp3 LYRICS.lrc   stores the lyrics in the song's ID3v2 tag (SYLT)
//   kivo-lyrics show [--json] SONG.mp3      prints every page and highlight the player shows
//                                           (SONG.zip: a zipped song with CD+G graphics)
//   kivo-lyrics --version
#include "cdgsong.h"
#include "deliveryreport.h"
#include "id3lyrics.h"
#include "jsonline.h"
#include "karaokefiles.h"
#include "lrcparser.h"
#include "lyricsshow.h"
#include "regularfile.h"
#include "songlyrics.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cstdio>

namespace {

void say(FILE *to, const QString &text)
{
    std::fputs((text + QLatin1Char('\n')).toUtf8().constData(), to);
}

int fail(const QString &text)
{
    say(stderr, QStringLiteral("kivo-lyrics: ") + text);
    return 1;
}

int usage()
{
    say(stderr, QStringLiteral("usage: kivo-lyrics embed SONG.mp3 LYRICS.lrc\n"
                               "       kivo-lyrics show [--json] SONG.mp3\n"
                               "       kivo-lyrics --version\n"
                               "embed stores LRC lyrics in the song as an ID3v2.4 SYLT frame;\n"
                               "show prints every page and highlight the player displays."));
    return 2;
}

bool exists(const QString &path)
{
    return RegularFile::isRegular(path);
}

int embed(const QString &song, const QString &lrcPath)
{
    if (!exists(song))
        return fail(QStringLiteral("%1: no such file").arg(song));
    if (!exists(lrcPath))
        return fail(QStringLiteral("%1: no such file").arg(lrcPath));
    QByteArray lrc;
    QString why;
    if (!RegularFile::read(lrcPath, 16 * 1024 * 1024, lrc, &why))
        return fail(QStringLiteral("%1: cannot be read: %2").arg(lrcPath, why));
    const LyricSheet sheet = LrcParser::parse(lrc);
    const int lines = int(std::count_if(sheet.begin(), sheet.end(),
                                        [](const LyricLine &line) { return !line.isBreak(); }));
    if (lines == 0)
        return fail(QStringLiteral("%1: no timed lyrics in it (lines need [mm:ss.xx] stamps)")
                        .arg(lrcPath));
    QString error;
    if (!Id3Lyrics::writeSylt(song, sheet, &error))
        return fail(error);

    int words = 0;
    for (const LyricLine &line : sheet)
        words += int(line.words.size());
    say(stdout, QStringLiteral("%1: %2 lyric lines%3 stored as ID3v2 SYLT")
                    .arg(song)
                    .arg(lines)
                    .arg(words ? QStringLiteral(" with %1 timed words").arg(words) : QString()));
    const QString source = SongLyrics::forSong(song).source();
    if (source != QLatin1String("ID3v2 SYLT"))
        say(stderr, QStringLiteral("kivo-lyrics: note: the player shows %1 beside the song "
                                   "instead of the stored lyrics")
                        .arg(source));
    return 0;
}

// Says on stderr whether the song has CD+G graphics and what they hold; false when it has none.
bool describeGraphics(const QString &song)
{
    const QString path = KaraokeFiles::graphicsFile(song);
    if (path.isEmpty())
        return false;
    CdgSong graphics;
    QString error;
    if (!graphics.open(path, &error)) {
        say(stderr, QStringLiteral("%1: the CD+G graphics cannot be read: %2").arg(path, error));
        return false;
    }
    const qint64 seconds = graphics.durationMs() / 1000;
    say(stderr, QStringLiteral("CD+G graphics from %1: %2 packets, %3:%4, %5 screen changes")
                    .arg(KaraokeFiles::isArchive(song) ? song : path)
                    .arg(graphics.packetCount())
                    .arg(seconds / 60)
                    .arg(seconds % 60, 2, 10, QLatin1Char('0'))
                    .arg(graphics.changeCount()));
    return true;
}

int show(const QString &given, bool json)
{
    if (!exists(given))
        return fail(QStringLiteral("%1: no such file").arg(given));
    const bool hasGraphics = describeGraphics(given);
    const QString song = KaraokeFiles::audioFile(given);
    if (song.isEmpty())
        return fail(QStringLiteral("%1: no .mp3 and .cdg of the same name in it").arg(given));
    const SongLyrics lyrics = SongLyrics::forSong(song);
    LyricsShow run;
    QString error;
    if (!run.play(song, &error))
        return fail(error);
    // A sidecar the player passes over because nothing in it is timed deserves a word.
    QString unusedSidecar;
    for (const char *suffix : {".lrc", ".LRC"}) {
        const QFileInfo sidecar(QFileInfo(song).dir(),
                                QFileInfo(song).completeBaseName() + QLatin1String(suffix));
        if (sidecar.isFile() && sidecar.fileName() != lyrics.source() && unusedSidecar.isEmpty())
            unusedSidecar = sidecar.fileName();
    }
    if (!lyrics.hasLyrics() && !unusedSidecar.isEmpty())
        return fail(QStringLiteral("%1: no timed lyrics in it (lines need [mm:ss.xx] stamps), and "
                                   "none in the tag of %2")
                        .arg(unusedSidecar, song));
    if (!lyrics.hasLyrics() && hasGraphics)
        return 0; // the graphics are what the player shows
    if (!lyrics.hasLyrics())
        return fail(QStringLiteral("%1: no lyrics found (no %2.lrc beside it, no SYLT or LRC "
                                   "USLT in its tag)")
                        .arg(song, QFileInfo(song).completeBaseName()));
    if (!unusedSidecar.isEmpty() &&
        !lyrics.source().endsWith(QLatin1String(".lrc"), Qt::CaseInsensitive))
        say(stderr, QStringLiteral("%1 has no timed lyrics and is passed over").arg(unusedSidecar));
    say(stderr, QStringLiteral("lyrics from %1").arg(lyrics.source()));
    if (!run.hasLyrics)
        say(stderr, QStringLiteral("the content decoder found no lyrics in the song"));

    for (const DeliveryReport::Delivered &d : std::as_const(run.delivered)) {
        const DisplayEvent &e = d.event;
        if (json) {
            const QByteArray line =
                e.kind == DisplayEvent::Kind::Page
                    ? JsonLine::page(d.frame, e.ms, e.page)
                    : JsonLine::highlight(d.frame, e.ms, e.highlightStart, e.highlightEnd);
            std::fputs((line + '\n').constData(), stdout);
        } else {
            say(stdout, QStringLiteral("frame %1  %2 ms  %3")
                            .arg(d.frame, 6)
                            .arg(e.ms, 8)
                            .arg(DeliveryReport::describe(e)));
        }
    }
    const DeliveryReport report(lyrics.timeline(), run.delivered);
    for (const QString &problem : report.problems)
        say(stderr, problem);
    say(stderr, report.summary());
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args == QStringList{QStringLiteral("--version")}) {
        say(stdout, QStringLiteral("kivo-lyrics (Vantrel Kivo Player) 2.00.0000"));
        return 0;
    }
    if (args.size() == 3 && args[0] == QLatin1String("embed"))
        return embed(args[1], args[2]);
    if (args.size() == 2 && args[0] == QLatin1String("show"))
        return show(args[1], false);
    if (args.size() == 3 && args[0] == QLatin1String("show") && args[1] == QLatin1String("--json"))
        return show(args[2], true);
    return usage();
}
