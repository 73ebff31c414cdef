#ifndef FAKECATALOG_H
#define FAKECATALOG_H

#include "songcatalog.h"

// A songbook for party tests: songs 1..count titled "Song N" by "Artist N%7", song 13 titled
// with markup; searched by substring of title or artist. Paths name the demo song.
class FakeCatalog : public SongCatalog
{
public:
    explicit FakeCatalog(int count = 200, QString path = QString())
        : count(count), path(std::move(path)) {}

    QList<PartySong> search(const QString &words, int limit) const override;
    std::optional<PartySong> song(qint64 id) const override;
    QString songPath(qint64 id) const override;

private:
    int count = 0;
    QString path;
};

#endif // FAKECATALOG_H
