#ifndef LIBRARYCATALOG_H
#define LIBRARYCATALOG_H

#include "songcatalog.h"

class LibraryIndex;

// The song library as the party's songbook: its search and its songs by id, with the path kept
// for the player alone. GUI thread only.
class LibraryCatalog : public SongCatalog
{
public:
    explicit LibraryCatalog(const LibraryIndex &index) : library(index) {}

    QList<PartySong> search(const QString &words, int limit) const override;
    std::optional<PartySong> song(qint64 id) const override;
    QString songPath(qint64 id) const override;

private:
    const LibraryIndex &library;
};

#endif // LIBRARYCATALOG_H
