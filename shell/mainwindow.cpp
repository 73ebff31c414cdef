#include "mainwindow.h"

#include "advancedpreferenceswindow.h"
#include "applicationicon.h"
#include "frametiming.h"
#include "librarylink.h"
#include "lyricsdata.h"
#include "lyricslabel.h"
#include "menu.h"
#include "mp3object.h"
#include "mpris.h"
#include "playlistwindow.h"
#include "preferences.h"
#include "soundoutput.h"
#include "soundsettings.h"
#include "toolbar.h"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMutexLocker>
#include <QPixmap>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>
#include <QtDebug>

namespace {

// How long the window must keep still before its size and place are stored.
constexpr int geometrySettleMs = 250;

} // namespace

MainWindow *MainWindow::Instance()
{
    return SingleInstance<MainWindow>::obtain(instanceRules);
}

bool MainWindow::hasAnInstance()
{
    return SingleInstance<MainWindow>::hasAnInstance(instanceRules);
}

MainWindow::MainWindow() : QMainWindow(nullptr)
{
    lyricsLabel = new LyricsLabel(this);
    QMutexLocker locker(&mutex); // guards every field while the window is built
    menu = Menu::Instance(menuBar());
    toolbar = Toolbar::Instance(this, "Play Control Toolbar"); // docks itself at the top
    addSoundControls();
    timeLabel = new QLabel(statusBar());
    timeLabel->setObjectName(QStringLiteral("timeLabel"));
    statusBar()->addPermanentWidget(timeLabel, 0);
    lyricsLabel->setMinimumSize(177, 20);
    setWindowIcon(applicationIcon());
    setCentralWidget(lyricsLabel);
    setAcceptDrops(true); // the lyrics display leaves drops to the window
    placeFromPreferences();

    playListWindow = PlayListWindow::Instance();
    playListWindow->setWindowIcon(applicationIcon());
    playListWindow->setWindowTitle(QStringLiteral("Vantrel Kivo Player Play List"));
    connect(playListWindow, &PlayListWindow::changed, this, &MainWindow::playlistchanged);
    library = new LibraryLink(menu->view(), this);
    connect(toolbar, &Toolbar::PreviousButtonPressed, playListWindow, &PlayListWindow::goPrevious);
    connect(toolbar, &Toolbar::NextButtonPressed, playListWindow, &PlayListWindow::goNext);
    // The playlist window's own close button goes through the menu, which keeps the check mark
    // and the stored visibility in step.
    connect(playListWindow, &PlayListWindow::closing, menu, &Menu::playlist);
    Preferences *preferences = Preferences::Instance();
    playListWindow->setVisible(preferences->playlistVisible());
    playListWindow->reopenLastFile();

    timer.setObjectName(QStringLiteral("passTimer"));
    timer.setSingleShot(true);
    // Armed for the next lyrics stamp, a frame or less away: a coarse timer may fire a millisecond
    // or more off, and every millisecond late is a highlight late.
    timer.setTimerType(Qt::PreciseTimer);
    connect(&timer, &QTimer::timeout, this, &MainWindow::timergo);
    connect(menu, &Menu::PreferencesChanged, lyricsLabel, qOverload<>(&LyricsLabel::ScreenRedraw));
    connect(menu, &Menu::advancedcontrolls, this, &MainWindow::advanced);
    mpris = new Mpris(this, toolbar);
    connect(mpris, &Mpris::ReloadRequested, this, &MainWindow::MP3ReloadRequest);
    connect(mpris, &Mpris::OpenRequested, this, &MainWindow::loadFile);
    timer.start(0);

    geometryTimer.setObjectName(QStringLiteral("geometryTimer"));
    geometryTimer.setSingleShot(true);
    geometryTimer.setInterval(geometrySettleMs);
    connect(&geometryTimer, &QTimer::timeout, this, &MainWindow::storeGeometry);
    auto *fullScreenKey = new QShortcut(QKeySequence(Qt::Key_F11), this);
    connect(fullScreenKey, &QShortcut::activated, this, &MainWindow::toggleFullScreen);
    leaveFullScreenKey = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    leaveFullScreenKey->setEnabled(false);
    connect(leaveFullScreenKey, &QShortcut::activated, this, &MainWindow::toggleFullScreen);
    connect(lyricsLabel, &LyricsLabel::doubleClicked, this, &MainWindow::toggleFullScreen);
    // The menus' accelerators keep working while full screen hides the menu bar.
    for (const QMenu *popup : menuBar()->findChildren<QMenu *>())
        addActions(popup->actions());
    advancedWindow = std::make_unique<AdvancedPreferencesWindow>();
}

MainWindow::~MainWindow()
{
    SingleInstance<MainWindow>::DestructorLock classLock(this); // guards the instance pointer
    QMutexLocker locker(&mutex); // guards the window's parts while they go
    geometryTimer.stop();
    timer.stop();
    delete menu;
    menu = nullptr;
    delete lyricsLabel;
    lyricsLabel = nullptr;
    advancedWindow.reset();
    delete toolbar;
    toolbar = nullptr;
}

// The stored size and place; a place on no connected screen (a monitor unplugged since) moves to
// the primary screen.
void MainWindow::placeFromPreferences()
{
    const Preferences *preferences = Preferences::Instance();
    resize(preferences->mainWindowWidth(), preferences->mainWindowHeight());
    QPoint position = preferences->mainWindowPosition();
    const QRect wanted(position, size());
    if (!QGuiApplication::screenAt(wanted.center()) && QGuiApplication::primaryScreen())
        position = QGuiApplication::primaryScreen()->availableGeometry().topLeft();
    move(position);
}

// In full screen the place it left is stored, so that the next start opens a window.
void MainWindow::storeGeometry()
{
    QMutexLocker locker(&mutex); // guards the timer and the full-screen fields
    geometryTimer.stop();
    const QRect place = fullScreen ? normalPlace : QRect(pos(), geometry().size());
    Preferences *preferences = Preferences::Instance();
    preferences->setMainWindowHeight(place.height());
    preferences->setMainWindowWidth(place.width());
    preferences->setMainWindowPosition(place.x(), place.y());
}

void MainWindow::toggleFullScreen()
{
    QMutexLocker locker(&mutex); // guards the full-screen fields
    if (fullScreen)
        leaveFullScreen();
    else
        enterFullScreen();
}

// Menu bar, toolbar and status bar go, and the lyrics display, frameless, lays its page out for
// the whole screen.
void MainWindow::enterFullScreen()
{
    if (geometryTimer.isActive())
        storeGeometry(); // the place being left has settled enough
    normalPlace = QRect(pos(), size());
    normalState = windowState();
    fullScreen = true;
    for (QWidget *bar : std::initializer_list<QWidget *>{menuBar(), toolbar, statusBar()}) {
        if (!bar->isHidden()) {
            bar->hide();
            hiddenBars << bar;
        }
    }
    lyricsFrame = lyricsLabel->frameStyle();
    lyricsLabel->setFrameStyle(QFrame::NoFrame);
    leaveFullScreenKey->setEnabled(true);
    showFullScreen();
}

void MainWindow::leaveFullScreen()
{
    fullScreen = false;
    leaveFullScreenKey->setEnabled(false);
    lyricsLabel->setFrameStyle(lyricsFrame);
    for (QWidget *bar : std::as_const(hiddenBars))
        bar->show();
    hiddenBars.clear();
    setWindowState(normalState); // the window system puts back the place full screen left
}

// Plain keys, none of them a menu's accelerator or mnemonic: + (or =, the same key unshifted) and
// - move the key a semitone, 0 puts the song's own key back, V switches vocal reduction. The
// settings hold for the rest of the run; the sound changes within a few device periods.
void MainWindow::addSoundControls()
{
    soundLabel = new QLabel(statusBar());
    soundLabel->setObjectName(QStringLiteral("soundLabel"));
    statusBar()->addPermanentWidget(soundLabel, 0);
    soundLabel->setText(soundText(SoundSettings::key(), SoundSettings::vocalsReduced()));
    const auto bind = [this](QKeySequence keys, auto change) {
        auto *shortcut = new QShortcut(keys, this);
        connect(shortcut, &QShortcut::activated, this, [this, change] {
            changeSound(change(SoundSettings::key()), SoundSettings::vocalsReduced());
        });
    };
    bind(QKeySequence(Qt::Key_Plus), [](int key) { return key + 1; });
    bind(QKeySequence(Qt::Key_Equal), [](int key) { return key + 1; });
    bind(QKeySequence(Qt::Key_Minus), [](int key) { return key - 1; });
    bind(QKeySequence(Qt::Key_0), [](int) { return 0; });
    auto *vocalsKey = new QShortcut(QKeySequence(Qt::Key_V), this);
    connect(vocalsKey, &QShortcut::activated, this, [this] {
        changeSound(SoundSettings::key(), !SoundSettings::vocalsReduced());
    });
}

void MainWindow::changeSound(int key, bool vocalsReduced)
{
    QMutexLocker locker(&mutex); // guards soundLabel
    SoundSettings::setKey(key);
    SoundSettings::setVocalsReduced(vocalsReduced);
    soundLabel->setText(soundText(SoundSettings::key(), SoundSettings::vocalsReduced()));
}

QString MainWindow::soundText(int key, bool vocalsReduced)
{
    QStringList parts;
    if (key != 0)
        parts << QStringLiteral("Key %1%2").arg(key > 0 ? "+" : "").arg(key);
    if (vocalsReduced)
        parts << QStringLiteral("Vocals reduced");
    return parts.join(QStringLiteral(", "));
}

void MainWindow::loadFile(const QString &name)
{
    menu->load(name);
}

void MainWindow::dragEnterEvent(QDragEnterEvent *event)
{
    if (!PlayListWindow::openableFiles(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent *event)
{
    const QStringList files = PlayListWindow::openableFiles(event->mimeData());
    if (files.isEmpty())
        return;
    event->acceptProposedAction();
    // After the drop has finished: loading may show a box, and the program the files came from
    // waits until the drop returns.
    QMetaObject::invokeMethod(
        this, [this, file = files.first()] { loadFile(file); }, Qt::QueuedConnection);
}

QString MainWindow::formatTime(int frames)
{
    const int milliseconds = int(frames * FrameTiming::millisecondsPerFrame);
    const int seconds = milliseconds / 1000;
    const int rest = seconds % 60;
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(rest, 2, 10, QLatin1Char('0'));
}

QPixmap MainWindow::applicationIcon()
{
    return QPixmap::fromImage(ApplicationIcon::image());
}

void MainWindow::setTransportAllowed(bool allowed)
{
    toolbar->AllowRewind(allowed);
    toolbar->AllowPlay(allowed);
    toolbar->AllowPause(allowed);
    toolbar->AllowStop(allowed);
    toolbar->AllowFF(allowed);
}

void MainWindow::setStepAllowed()
{
    toolbar->AllowNext(playListWindow->canGoNext());
    toolbar->AllowPrevious(playListWindow->canGoPrevious());
}

void MainWindow::loadSong(const QString &file, int startFrame)
{
    QMutexLocker locker(&mutex); // guards song and the flags
    lyricsLabel->ScreenRedraw(nullptr);
    song = MP3Object::Instance(file, startFrame);
    library->songStarted(file);
    if (!song || song->totalFrames() == 0) {
        // Nothing to play: say so, and skip the song once (its end comes on the next pass).
        statusBar()->showMessage(QStringLiteral("Unable to play ") + QFileInfo(file).fileName());
        if (failedSongs.contains(file))
            halted = true; // the list came round to a song that already failed
        failedSongs << file;
        if (!song) {
            halted = true;
            return;
        }
    } else {
        failedSongs.clear();
        statusBar()->showMessage(song->fileName());
    }
    connectSong();
    setStepAllowed();
    if (Preferences::Instance()->autoPlay() && !stopPending) {
        song->Play();
        stopPending = false;
    }
    song->updateControls();
    mpris->setSong(song, startFrame);
}

// The fourteen connections of one engine and its asking for a pass, made afresh for every engine.
void MainWindow::connectSong()
{
    connect(song, &MP3Object::startAtrequest, this, &MainWindow::MP3ReloadRequest);
    connect(song, &MP3Object::EOS, this, &MainWindow::EndOfSong);
    connect(song, &MP3Object::canrewind, toolbar, &Toolbar::AllowRewind);
    connect(song, &MP3Object::canplay, toolbar, &Toolbar::AllowPlay);
    connect(song, &MP3Object::canpause, toolbar, &Toolbar::AllowPause);
    connect(song, &MP3Object::canstop, toolbar, &Toolbar::AllowStop);
    connect(song, &MP3Object::canff, toolbar, &Toolbar::AllowFF);
    connect(toolbar, &Toolbar::RewindButtonPressed, song, &MP3Object::Rewind);
    connect(toolbar, &Toolbar::PlayButtonPressed, song, &MP3Object::Play);
    connect(toolbar, &Toolbar::PauseButtonPressed, song, &MP3Object::Pause);
    connect(toolbar, &Toolbar::StopButtonPressed, song, &MP3Object::Stop);
    connect(toolbar, &Toolbar::FastForwardButtonPressed, song, &MP3Object::FastForward);
    connect(song, &MP3Object::DisplayLyrics, lyricsLabel,
            qOverload<LyricsData *>(&LyricsLabel::ScreenRedraw));
    connect(song, &MP3Object::stoprequest, this, &MainWindow::MP3StopRequest);
    connect(song, &MP3Object::passWanted, this, &MainWindow::schedulePass);
}

void MainWindow::deleteSong()
{
    delete song;
    song = nullptr;
    mpris->setSong(nullptr, 0);
}

// One pass: the first pending request in priority order, or else a pump of the engine.
void MainWindow::timergo()
{
    QMutexLocker locker(&mutex); // guards song and the flags for the whole pass
    bool workLeft = true; // a request carried out may lead to the next (a song change, a load)
    if (closing) {
        workLeft = false;
        SoundOutput::endFeed();
        if (song) {
            song->Stop();
            deleteSong();
        }
    } else if (reloadPending) {
        reloadPending = false;
        if (playListWindow->hasCurrentSong()) {
            deleteSong();
            loadSong(playListWindow->currentSongFile(), reloadFrame);
            reloadFrame = 0;
        }
    } else if (stopPending) {
        if (playListWindow->hasCurrentSong()) {
            deleteSong();
            loadSong(playListWindow->currentSongFile(), 0); // no auto play while stopPending
        }
        stopPending = false;
    } else if (endOfSongPending) {
        finishSong();
        endOfSongPending = false;
    } else if (songChangePending) {
        qDebug("Playlist changed, loading correct current song");
        deleteSong();
        songChangePending = false;
    } else if (song) {
        statusBar()->showMessage(song->statusText());
        song->timergo();
        timeLabel->setText(formatTime(song->position()) + QStringLiteral(" / ") +
                           formatTime(song->totalFrames()));
        workLeft = false;
    } else if (playListWindow->hasCurrentSong() && !halted) {
        loadSong(playListWindow->currentSongFile(), reloadFrame);
        reloadFrame = 0;
    } else {
        workLeft = false;
    }
    armPass(workLeft);
}

void MainWindow::armPass(bool workLeft)
{
    // -1: no pass until a request or the engine's passWanted() schedules one. Once the window
    // is closing there is nothing more to do.
    const bool requested =
        workLeft || reloadPending || stopPending || endOfSongPending || songChangePending;
    int wait = -1;
    if (!closing && requested)
        wait = 0;
    else if (!closing && song)
        wait = song->nextPassIn(); // a content stamp, a paced step, or -1: the device wakes it
    if (wait >= 0)
        timer.start(wait);
    else
        timer.stop();
}

void MainWindow::schedulePass()
{
    QMutexLocker locker(&mutex); // guards the timer
    if (!closing)
        timer.start(0);
}

// The end of a song: the playlist moves on, or the song stops (and is reloaded at its start). A
// song that could not be played is skipped instead, and when the list cannot go on or comes
// round to a song that already failed, playback halts until the playlist changes.
void MainWindow::finishSong()
{
    const bool failed = !failedSongs.isEmpty();
    if (failed && (halted || !playListWindow->canGoNext())) {
        halted = true;
        deleteSong();
        setTransportAllowed(false);
        statusBar()->showMessage(QStringLiteral("Unable to play ") +
                                 QFileInfo(playListWindow->currentSongFile()).fileName());
        return;
    }
    if (playListWindow->canGoNext())
        deleteSong();
    else if (song)
        song->Stop();
    playListWindow->goNext();
}

void MainWindow::playlistchanged()
{
    QMutexLocker locker(&mutex); // guards song and the flags
    setStepAllowed();
    halted = false;
    if (!playListWindow->hasCurrentSong())
        return;
    const QString current = playListWindow->currentSongFile();
    if (song && song->fileName() != current) {
        songChangePending = true;
        setTransportAllowed(false);
        statusBar()->showMessage(QStringLiteral("Changing to song ") + current);
        toolbar->AllowNext(false);
        toolbar->AllowPrevious(false);
    } else if (!song) {
        statusBar()->showMessage(QStringLiteral("Loading song ") + current);
        toolbar->AllowNext(false);
        toolbar->AllowPrevious(false);
    }
    schedulePass();
}

void MainWindow::MP3ReloadRequest(int frame)
{
    QMutexLocker locker(&mutex); // guards the flags
    reloadFrame = frame;
    reloadPending = true;
    schedulePass();
}

void MainWindow::EndOfSong()
{
    QMutexLocker locker(&mutex); // guards the flags
    statusBar()->showMessage(playListWindow->canGoNext()
                                 ? QStringLiteral("Loading Next Song on Playlist")
                                 : QString());
    toolbar->AllowNext(false);
    toolbar->AllowPrevious(false);
    endOfSongPending = true;
    schedulePass();
}

void MainWindow::MP3StopRequest()
{
    QMutexLocker locker(&mutex); // guards the flags
    stopPending = true;
    schedulePass();
}

void MainWindow::advanced()
{
    advancedWindow->refresh();
    advancedWindow->show();
}

// Full screen's own moves and resizes are not stored.
void MainWindow::moveEvent(QMoveEvent *)
{
    QMutexLocker locker(&mutex); // guards the timer and the full-screen flag
    if (!fullScreen)
        geometryTimer.start();
}

void MainWindow::resizeEvent(QResizeEvent *)
{
    QMutexLocker locker(&mutex); // guards the timer and the full-screen flag
    if (!fullScreen)
        geometryTimer.start(); // the lyrics display redraws itself at its new size
}

// Stops and deletes the engine, closes the playlist window (which may first offer to save a
// changed list) and keeps the playlist's stored visibility as it was before the close.
void MainWindow::closeEvent(QCloseEvent *event)
{
    QMutexLocker locker(&mutex); // guards song, the flags and the timers
    if (song)
        song->Stop();
    advancedWindow->hide();
    closing = true;
    if (song)
        deleteSong();
    timer.stop();
    storeGeometry();
    Preferences *preferences = Preferences::Instance();
    const bool playlistVisible = preferences->playlistVisible();
    playListWindow->close();
    preferences->setPlaylistVisible(playlistVisible);
    event->accept();
}
