#include "songlyrics.h"

#include "id3lyrics.h"
#include "lrcparser.h"
#include "pagebuilder.h"
#include "regularfile.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace {

// A lyrics file larger than this is no lyrics file.
constexpr qint64 maxSidecarBytes = 16 * 1024 * 1024;

bool hasSungLines(const LyricSheet &sheet)
{
    return std::any_of(sheet.begin(), sheet.end(),
                       [](const LyricLine &line) { return !line.isBreak(); });
}

} // namespace

SongLyrics SongLyrics::forSong(const QString &songPath)
{
    SongLyrics lyrics;
    const QFileInfo song(songPath);
    for (const char *suffix : {".lrc", ".LRC"}) {
        const QString sidecar =
            song.dir().filePath(song.completeBaseName() + QLatin1String(suffix));
        QByteArray bytes;
        if (!RegularFile::read(sidecar, maxSidecarBytes, bytes, nullptr))
            continue;
        const LyricSheet sheet = LrcParser::parse(bytes);
        if (hasSungLines(sheet)) {
            lyrics.from = QFileInfo(sidecar).fileName();
            lyrics.events = PageBuilder::build(sheet);
            return lyrics;
        }
    }
    QString source;
    const LyricSheet sheet = Id3Lyrics::read(songPath, &source);
    if (hasSungLines(sheet)) {
        lyrics.from = source;
        lyrics.events = PageBuilder::build(sheet);
    }
    return lyrics;
}

bool SongLyrics::hasLyrics() const
{
    return !events.isEmpty();
}

QString SongLyrics::source() const
{
    return from;
}

DisplayTimeline SongLyrics::timeline() const
{
    return events;
}
