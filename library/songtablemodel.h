#ifndef SONGTABLEMODEL_H
#define SONGTABLEMODEL_H

#include "librarysong.h"

#include <QAbstractTableModel>
#include <QList>

// Search results as table rows: Title, Artist, Album, Length, and marks for lyrics and CD+G.
// Qt::UserRole gives each cell's sort key; dragged rows carry their files as URLs, which the
// playlist window takes as added songs. GUI thread only.
class SongTableModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { Title, Artist, Album, Length, Lyrics, Graphics, ColumnCount };

    explicit SongTableModel(QObject *parent = nullptr);

    void setSongs(QList<LibrarySong> songs);
    const LibrarySong &song(int row) const { return songs.at(row); }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QStringList mimeTypes() const override;
    QMimeData *mimeData(const QModelIndexList &indexes) const override;

private:
    QList<LibrarySong> songs;
};

#endif // SONGTABLEMODEL_H
