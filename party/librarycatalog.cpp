#include "librarycatalog.h"

#include "libraryindex.h"

#include <QFileInfo>

namespace {

PartySong partySong(const LibrarySong &found)
{
    PartySong song;
    song.id = found.id;
    // An untagged song shows its file's name, never its folder.
    song.title = found.title.isEmpty() ? QFileInfo(found.path).completeBaseName() : found.title;
    song.artist = found.artist;
    song.seconds = found.seconds;
    return song;
}

} // namespace

QList<PartySong> LibraryCatalog::search(const QString &words, int limit) const
{
    QList<PartySong> songs;
    const QList<LibrarySong> found = library.search(words, limit);
    songs.reserve(found.size());
    for (const LibrarySong &one : found)
        songs << partySong(one);
    return songs;
}

std::optional<PartySong> LibraryCatalog::song(qint64 id) const
{
    const std::optional<LibrarySong> found = library.song(id);
    if (!found)
        return std::nullopt;
    return partySong(*found);
}

QString LibraryCatalog::songPath(qint64 id) const
{
    const std::optional<LibrarySong> found = library.song(id);
    return found ? found->path : QString();
}
