#include "stagesong.h"

#include "lyricsencoding.h"
#include "regularfile.h"
#include "songlyrics.h"
#include "songtags.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <unistd.h>

namespace {

// The header of an LRC file lies at its top; this much of it is read.
constexpr qint64 headerBytes = 64 * 1024;

} // namespace

StageSong StageSong::read(const QString &songPath)
{
    StageSong song;
    song.path = songPath;
    const QFileInfo file(songPath);
    if (file.isFile()) {
        const SongTags tags = SongTags::read(songPath);
        if (tags.title != file.fileName())
            song.title = tags.title;
        song.artist = tags.artist;
    }
    if (song.title.isEmpty() || song.artist.isEmpty()) {
        QString title;
        QString artist;
        readLrcHeader(songPath, &title, &artist);
        if (song.title.isEmpty())
            song.title = title;
        if (song.artist.isEmpty())
            song.artist = artist;
    }
    if (song.title.isEmpty())
        song.title = file.fileName();
    const SongLyrics lyrics = SongLyrics::forSong(songPath);
    song.hasLyrics = lyrics.hasLyrics();
    song.cues = StageCues(lyrics.timeline());
    return song;
}

void StageSong::readLrcHeader(const QString &songPath, QString *title, QString *artist)
{
    static const QRegularExpression tag(QStringLiteral(R"(^\s*\[(ti|ar)\s*:([^\]\n]*)\])"),
                                        QRegularExpression::CaseInsensitiveOption |
                                            QRegularExpression::MultilineOption);
    const QFileInfo song(songPath);
    for (const char *suffix : {".lrc", ".LRC"}) {
        const QFileInfo sidecar(song.dir(), song.completeBaseName() + QLatin1String(suffix));
        // Only a regular file, checked on the open descriptor: a pipe would block the reader.
        const int fd = RegularFile::open(sidecar.filePath());
        QFile lrc;
        if (fd < 0 || !lrc.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
            if (fd >= 0)
                ::close(fd);
            continue;
        }
        const QString text = LyricsEncoding::decode(lrc.read(headerBytes));
        auto matches = tag.globalMatch(text);
        while (matches.hasNext()) {
            const QRegularExpressionMatch match = matches.next();
            QString *field = match.captured(1).compare(u"ti", Qt::CaseInsensitive) == 0 ? title
                                                                                        : artist;
            if (field->isEmpty())
                *field = match.captured(2).trimmed();
        }
        return;
    }
}
