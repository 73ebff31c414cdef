#ifndef SONGCATALOG_H
#define SONGCATALOG_H

#include <QList>
#include <QString>

#include <optional>

// A song as the phones see it: a database id and what to show. Never a path.
struct PartySong
{
    qint64 id = 0;
    QString title;
    QString artist;
    int seconds = 0;
};

// The songbook the party searches: the library, seen through an adapter, or a fake in tests.
// GUI thread only.
class SongCatalog
{
public:
    virtual ~SongCatalog() = default;

    // At most limit songs matching words, best first.
    virtual QList<PartySong> search(const QString &words, int limit) const = 0;
    virtual std::optional<PartySong> song(qint64 id) const = 0;
    // The file to play for a queued song, empty when it is gone. For the player only: what this
    // returns is never sent to a phone.
    virtual QString songPath(qint64 id) const = 0;
};

#endif // SONGCATALOG_H
