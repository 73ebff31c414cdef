#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include "recursivemutex.h"
#include "singleinstance.h"

#include <QList>
#include <QMainWindow>
#include <QRect>
#include <QSet>
#include <QStringList>
#include <QTimer>

#include <memory>

class AdvancedPreferencesWindow;
class CdgView;
class LibraryLink;
class PartyLink;
class LyricsLabel;
class Menu;
class MP3Object;
class Mpris;
class PlaybackMenu;
class PlayListWindow;
class QLabel;
class QShortcut;
class QToolBar;
class SeekBar;
class Toolbar;
class VolumeControl;

// The player's main window and the coordinator of the whole program: it builds the lyrics
// display, menus, toolbar and playlist window, wires them, and holds the one playback engine of
// the current song. Slots that react to the engine or the playlist only record a request and
// schedule a pass; the pass, timergo(), carries out at most one request per pass in a fixed
// priority (closing, reload, stop, end of song, song change), and otherwise pumps the engine. So
// an engine is never deleted while one of its own signals is being delivered. Passes run only
// when there is work: the single-shot pass timer is armed for when the engine next wants one, or
// by a request or the engine's passWanted(); in between the event loop sleeps.
// GUI thread only.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    static MainWindow *Instance();
    static bool hasAnInstance();

    ~MainWindow() override;

    // Opens name through the main menu's load, as if chosen with "&Load".
    void loadFile(const QString &name);
    // Moves the song to frame, the first frame to be heard (counted from 1; 0 and 1 are the
    // start), by reloading it there: a song that was playing plays on from there, a paused one
    // stays paused, one stopped, rewinding or fast forwarding stands stopped there. Nothing
    // without a song.
    void seekTo(int frame);
    // "m:ss" for a frame count; minutes are not limited.
    static QString formatTime(int frames);
    // The sound field's text: "Key +2", "Vocals reduced", both joined by ", ", or empty.
    static QString soundText(int key, bool vocalsReduced);

protected:
    void moveEvent(QMoveEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    // The first song or list dropped opens as if chosen with "&Load".
    void dropEvent(QDropEvent *event) override;

private slots:
    void playlistchanged();
    void timergo();
    // A pass as soon as the event loop comes round.
    void schedulePass();
    void MP3ReloadRequest(int frame);
    void EndOfSong();
    void MP3StopRequest();
    void advanced();
    // The engine's Play found no sound device.
    void noSoundOutput(const QString &reason);
    // F11, a double click on the lyrics, and Escape while in full screen.
    void toggleFullScreen();
    // "Fit Lyrics to Window": stored for the window or for full screen, whichever is showing.
    void setFitLyrics(bool fit);

private:
    friend class SingleInstance<MainWindow>;
    static constexpr InstanceRules instanceRules = {
        "Was unable to allocate the main application window!", nullptr, nullptr,
        "Asked for instance without have mutex for MainWindow"};

    explicit MainWindow();

    void placeFromPreferences();
    void storeGeometry();
    void enterFullScreen();
    // The keys that move the key and switch vocal reduction, and the field that shows them.
    void addSoundControls();
    // The seek bar and the volume, in a bar of their own between the lyrics and the status bar.
    void addSeekAndVolume();
    void changeSound(int key, bool vocalsReduced);
    void leaveFullScreen();
    // The lyrics display's stage: fitting for the present mode, notices, the heard moment.
    void connectStage();
    void applyFitLyrics();
    void loadSong(const QString &file, int startFrame);
    void connectSong();
    void deleteSong();
    // Arms the pass timer after a pass: at once while requests wait, else when the engine wants.
    void armPass(bool workLeft);
    void finishSong();
    // The frames heard: an engine reloaded at a frame stands at 0 until it plays, yet has
    // skipped the frames before its start.
    int heardPosition();
    void followSong();
    void setTransportAllowed(bool allowed);
    // The status bar's text, written when it changes; also written again after a status tip
    // cleared it.
    void showStatus(const QString &text);
    void setStepAllowed();
    static QPixmap applicationIcon();

    std::unique_ptr<AdvancedPreferencesWindow> advancedWindow;
    RecursiveMutex mutex; // guards every field below
    LyricsLabel *lyricsLabel = nullptr;
    CdgView *graphicsView = nullptr; // a child of the lyrics display, over it
    MP3Object *song = nullptr;
    Menu *menu = nullptr;
    LibraryLink *library = nullptr; // the library window and loudness normalisation
    PartyLink *party = nullptr; // child; singers' phones queue songs
    Toolbar *toolbar = nullptr;
    PlaybackMenu *playbackMenu = nullptr; // child
    QToolBar *seekToolbar = nullptr;      // child; holds the seek bar and the volume
    SeekBar *seekBar = nullptr;
    VolumeControl *volumeControl = nullptr;
    PlayListWindow *playListWindow = nullptr;
    QTimer timer{this}; // single shot; the window's child "passTimer"
    QLabel *timeLabel = nullptr;
    QLabel *soundLabel = nullptr; // the key and vocal reduction, when either is on
    Mpris *mpris = nullptr; // child; offers the player on the session bus
    bool endOfSongPending = false;
    bool closing = false;
    bool stopPending = false;
    bool reloadPending = false;
    bool songChangePending = false;
    int reloadFrame = 0;
    // What the song does once a seek's reload is done; None for other reloads.
    enum class AfterSeek
    {
        None,
        Play,
        Pause,
        Hold
    };
    AfterSeek afterSeek = AfterSeek::None;
    int startPlace = 0; // the frames the engine skipped, until it reports a place of its own
    // Songs that could not be played, one after another; once as many rows as the list holds
    // have failed in a row, or every file the list names has, or the list cannot go on, playback
    // halts until the playlist changes.
    int failedInARow = 0;
    QSet<QString> failedSongs; // the files of that run of failures
    bool halted = false;
    // The window's size and place are stored once it has settled, not on every step of a drag.
    QTimer geometryTimer{this}; // the window's child "geometryTimer"
    // Full screen shows the lyrics alone on the whole screen, for singing along on a television.
    // Meanwhile the place it left is the one stored.
    bool fullScreen = false;
    QRect normalPlace; // as stored: the frame's place, the size inside it
    Qt::WindowStates normalState = Qt::WindowNoState;
    QList<QWidget *> hiddenBars; // the bars full screen hid, shown again on leaving
    int lyricsFrame = 0;
    QShortcut *leaveFullScreenKey = nullptr; // Escape, enabled only in full screen
    QString statusWanted;                    // the status bar's text, see showStatus
    bool soundBoxShown = false; // no sound output was said in a box, and nothing played since
};

#endif // MAINWINDOW_H
