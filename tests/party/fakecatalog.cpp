#include "fakecatalog.h"

QList<PartySong> FakeCatalog::search(const QString &words, int limit) const
{
    QList<PartySong> found;
    for (qint64 id = 1; id <= count && found.size() < limit; ++id) {
        const PartySong candidate = *song(id);
        if (candidate.title.contains(words, Qt::CaseInsensitive) ||
            candidate.artist.contains(words, Qt::CaseInsensitive))
            found.append(candidate);
    }
    return found;
}

std::optional<PartySong> FakeCatalog::song(qint64 id) const
{
    if (id < 1 || id > count)
        return std::nullopt;
    const QString title = id == 13 ? QStringLiteral("<i>Song 13</i>") : QStringLiteral("Song %1").arg(id);
    return PartySong{id, title, QStringLiteral("Artist %1").arg(id % 7), int(120 + id)};
}

QString FakeCatalog::songPath(qint64 id) const
{
    return song(id) ? path : QString();
}
