#include "songtablemodel.h"

#include <QMimeData>
#include <QSet>
#include <QUrl>

SongTableModel::SongTableModel(QObject *parent) : QAbstractTableModel(parent) {}

void SongTableModel::setSongs(QList<LibrarySong> newSongs)
{
    beginResetModel();
    songs = std::move(newSongs);
    endResetModel();
}

int SongTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(songs.size());
}

int SongTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant SongTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= songs.size())
        return {};
    const LibrarySong &song = songs[index.row()];
    const bool sortKey = role == Qt::UserRole;
    if (role == Qt::ToolTipRole)
        return song.path;
    if (role != Qt::DisplayRole && !sortKey)
        return {};
    switch (index.column()) {
    case Title:
        return sortKey ? QVariant(song.title.toCaseFolded()) : QVariant(song.title);
    case Artist:
        return sortKey ? QVariant(song.artist.toCaseFolded()) : QVariant(song.artist);
    case Album:
        return sortKey ? QVariant(song.album.toCaseFolded()) : QVariant(song.album);
    case Length:
        return sortKey ? QVariant(song.seconds)
                       : QVariant(QStringLiteral("%1:%2").arg(song.seconds / 60).arg(
                             song.seconds % 60, 2, 10, QLatin1Char('0')));
    case Lyrics:
        return sortKey ? QVariant(song.hasLyrics)
                       : QVariant(song.hasLyrics ? QStringLiteral("\u2713") : QString());
    case Graphics:
        return sortKey ? QVariant(song.hasGraphics)
                       : QVariant(song.hasGraphics ? QStringLiteral("\u2713") : QString());
    default:
        return {};
    }
}

QVariant SongTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    static const char *const names[ColumnCount] = {"Title", "Artist", "Album", "Length", "Lyrics", "CD+G"};
    return section >= 0 && section < ColumnCount ? QString::fromLatin1(names[section]) : QVariant();
}

Qt::ItemFlags SongTableModel::flags(const QModelIndex &index) const
{
    return QAbstractTableModel::flags(index) | Qt::ItemIsDragEnabled;
}

QStringList SongTableModel::mimeTypes() const
{
    return {QStringLiteral("text/uri-list")};
}

QMimeData *SongTableModel::mimeData(const QModelIndexList &indexes) const
{
    QList<QUrl> urls;
    QSet<int> rows;
    for (const QModelIndex &index : indexes)
        if (index.isValid() && index.row() < songs.size() && !rows.contains(index.row())) {
            rows.insert(index.row());
            urls << QUrl::fromLocalFile(songs[index.row()].path);
        }
    auto *data = new QMimeData;
    data->setUrls(urls);
    return data;
}
