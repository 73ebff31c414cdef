#ifndef LIBRARYWINDOW_H
#define LIBRARYWINDOW_H

#include "libraryindex.h"

#include <QElapsedTimer>
#include <QStringList>
#include <QTimer>
#include <QWidget>

class LibraryScanThread;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QProgressBar;
class QPushButton;
class QSortFilterProxyModel;
class QTableView;
class SongTableModel;

// The "Library" window: the library folders (add, remove, rescan), a progress bar while they
// are scanned in the background, and a search field whose results (Title, Artist, Album, Length,
// lyrics and CD+G marks; sortable) follow every key typed. Return or a double-click asks for a
// song to be played now; the context menu and dragging add songs to the playlist. Folders are
// rescanned when the program becomes the active one again (at most once a minute), so changes
// made meanwhile are picked up without watching every folder.
// GUI thread only.
class LibraryWindow : public QWidget
{
    Q_OBJECT

public:
    static constexpr int resultLimit = 1000;

    explicit LibraryWindow(const QString &databaseFile = LibraryIndex::standardFileName(),
                           QWidget *parent = nullptr);
    ~LibraryWindow() override;

    // The library this window shows, for searches and loudness look-ups elsewhere.
    const LibraryIndex &index() const { return library; }
    bool scanning() const;
    // Whether a scan measures the loudness of songs without a ReplayGain tag.
    void setMeasureLoudness(bool measure) { measureLoudness = measure; }

public slots:
    // Adds the folder and scans it.
    void addFolder(const QString &folder);
    void removeFolder(const QString &folder);
    // Starts a scan of every folder, or another one when the running scan has ended.
    void rescan();
    void setSearchText(const QString &words);

signals:
    void playRequested(const QString &path);
    void addToPlaylistRequested(const QStringList &paths);
    void playNextRequested(const QStringList &paths);
    // A scan has ended; the index may hold other songs now.
    void libraryChanged();

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void buildFolderRow();
    void buildResults();
    void chooseFolder();
    void removeChosenFolder();
    void runSearch();
    void showFolders();
    QStringList selectedPaths() const;
    void showContextMenu(const QPoint &position);
    void scanProgress(bool measuring, int done, int total);
    void scanFinished(const QString &summary, int songs, bool rebuilt);
    void applicationStateChanged(Qt::ApplicationState state);

    LibraryIndex library;
    LibraryScanThread *scanThread = nullptr;
    bool measureLoudness = true;
    bool rescanWhenDone = false; // the folders changed while a scan ran
    QElapsedTimer sinceScan;
    QListWidget *folderList = nullptr;
    QPushButton *addButton = nullptr;
    QPushButton *removeButton = nullptr;
    QPushButton *rescanButton = nullptr;
    QLineEdit *searchField = nullptr;
    QTableView *table = nullptr;
    SongTableModel *model = nullptr;
    QSortFilterProxyModel *sorted = nullptr;
    QProgressBar *progressBar = nullptr;
    QLabel *statusLabel = nullptr;
    QTimer searchTimer;
};

#endif // LIBRARYWINDOW_H
