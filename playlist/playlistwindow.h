#ifndef PLAYLISTWINDOW_H
#define PLAYLISTWINDOW_H

#include "recursivemutex.h"
#include "singleinstance.h"

#include <QMainWindow>
#include <QStringList>

class PlayListMenu;
class PlayListToolbar;
class QListWidget;
class QMimeData;

// The second top-level window: the ordered list of songs (full paths, as chosen) and the one
// current song the player plays, shown one row each, the current one behind "*PLAYING* " and
// every other behind nineteen blanks. It loads and saves .playlist files, carries the playlist
// menu and toolbar, and reports every change of the list or of the current song with changed();
// the main window then asks for the current song and whether Next and Previous are possible.
// M3U lists open too; they are never written, so a list opened from one counts as changed.
// Songs dropped on the window are added, a dropped list opens.
//
// GUI thread only. Every operation holds mutex, which is recursive: changed() and the list's own
// signals come straight back into the window while it is held.
class PlayListWindow : public QMainWindow
{
    Q_OBJECT

public:
    // The window with its menu and toolbar, built (hidden, empty) on the first call.
    static PlayListWindow *Instance();
    static bool hasAnInstance();

    ~PlayListWindow() override;

    // A .mp3 path becomes the only song, a .playlist, .m3u or .m3u8 path replaces the list (after
    // offering to save a changed one; Cancel there opens nothing); any other path, a list that
    // cannot be read, or a song that is a folder, pipe or device, is shown in a warning box and
    // changes nothing. True when the list took the file.
    bool openFile(const QString &path);
    // openFile for lastFile at start-up: problems go to the log, not to a box.
    void reopenLastFile();
    bool hasCurrentSong() const;
    // Null when the list is empty.
    QString currentSongFile() const;
    bool canGoNext() const;
    bool canGoPrevious() const;
    // Steps the current song, wrapping round with repeatPlaylist, and returns its path.
    QString nextSong();
    QString previousSong();
    int songCount() const;
    // How many different files the list names (a file listed twice counts once).
    int distinctSongCount() const;
    void clearList();
    void addSong(const QString &path);
    // Puts the song right after the current one (first in an empty list), to be played next.
    void insertSongAfterCurrent(const QString &path);
    // The current song follows its song. Rows outside the list are ignored.
    void moveSongUp(int row);
    void moveSongDown(int row);
    void removeSong(int row);
    // Brings every row's text in line with the list and the current song.
    void refreshList();
    // Replaces the list only when the whole file (a .playlist, or an M3U list by its suffix) could
    // be read; failure says why otherwise.
    bool readPlaylist(const QString &path, QString &failure);
    // On success remembers path as lastFile; failure says why otherwise.
    bool writePlaylist(const QString &path, QString &failure);
    // The local files among data's URLs that open as songs or lists, in the order given.
    static QStringList openableFiles(const QMimeData *data);

public slots:
    void goNext();
    void goPrevious();

signals:
    void changed();
    // Emitted first when the window is closed; the main menu's playlist() answers it by toggling
    // playlistVisible, the window and its "&Playlist" check mark.
    void closing();

protected:
    // Offers to save a changed list (modal), then closes; refused when the user cancels.
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    // Each file in turn as if added with Add (a song) or opened from the menu (a list).
    void dropEvent(QDropEvent *event) override;

private slots:
    void playlistMenuSave(const QString &path);
    void playlistMenuOpen(const QString &path);
    void playlistMenuRepeat();
    // The songs are added in order; the last one is remembered as a chosen file is.
    void playlistToolbarAdd(const QStringList &paths);
    void playlistToolbarDel();
    void playlistToolbarUp();
    void playlistToolbarDown();
    void playlistListHighlight(int row);
    void playlistListSelected(int row);

private:
    friend class SingleInstance<PlayListWindow>;
    static constexpr InstanceRules instanceRules = {"Was unable to allocate the play list window!"};

    enum class Report
    {
        MessageBox,
        Log
    };

    PlayListWindow();

    void connectParts();
    bool open(const QString &path, Report report);
    void replaceList(const QStringList &read);
    void openDropped(const QStringList &files);
    QString rowText(int row) const;
    void showCurrentRow(int row);
    void rememberFile(const QString &path);
    // Asks whether to save a changed list: Yes saves, No goes on without, Cancel (false) stops.
    bool offerToSave();

    mutable RecursiveMutex mutex; // guards every field below
    QListWidget *listBox = nullptr;
    QStringList songs;
    int currentSong = -1; // -1 exactly when songs is empty
    PlayListMenu *playListMenu = nullptr;
    PlayListToolbar *playListToolbar = nullptr;
    bool changedSinceSave = false; // the list differs from the file last loaded or saved
    int highlightedRow = 0;        // the row Del, Up and Down act on
};

#endif // PLAYLISTWINDOW_H
