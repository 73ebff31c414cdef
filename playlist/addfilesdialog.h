#ifndef ADDFILESDIALOG_H
#define ADDFILESDIALOG_H

#include <QFileDialog>
#include <QStringList>

// The playlist window's "Add Files" dialog: several songs and folders at once. A folder chosen
// alone opens, as in any file dialog; chosen together with others it stands for every song in it
// and its subfolders. GUI thread only.
class AddFilesDialog : public QFileDialog
{
    Q_OBJECT

public:
    // Most songs one choice adds; the rest of a huge tree is left out.
    static constexpr int maxSongs = 100000;

    AddFilesDialog(QWidget *parent, const QString &directory);

    // The songs chosen, ordered as the dialog shows a folder: folders first, then songs, each in
    // natural name order ("2" before "10"); a folder is replaced by its songs in the same order,
    // recursively. Only regular files named as songs count; a folder met again through a link is
    // skipped.
    static QStringList songsOf(const QStringList &chosen);

signals:
    void songsChosen(const QStringList &songs);

public slots:
    void accept() override;
};

#endif // ADDFILESDIALOG_H
