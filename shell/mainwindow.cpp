#include "mainwindow.h"

#include "advancedpreferenceswindow.h"
#include "frametiming.h"
#include "lyricsdata.h"
#include "lyricslabel.h"
#include "menu.h"
#include "mp3object.h"
#include "mpris.h"
#include "playlistwindow.h"
#include "preferences.h"
#include "soundoutput.h"
#include "toolbar.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QMutexLocker>
#include <QPixmap>
#include <QScreen>
#include <QStatusBar>
#include <QtDebug>

namespace {

// How long the window must keep still before its size and place are stored.
constexpr int geometrySettleMs = 250;

// The window icon, one palette index per pixel: a gold disc with a white centre hole and a white
// singer, both outlined in dark blue.
const char *const iconTable[32] = {
    "00000000000000000000000000000000",
    "00000000000000000000000000000000",
    "00000000000000000000000000000000",
    "00000000000000000000000000000000",
    "00000000000000000000000010000000",
    "00000000000000000000001121100000",
    "00000000111111100000012222210000",
    "00000011333333311000012222210000",
    "00000133333333333100122424221000",
    "00001333333333333310012222210000",
    "00013333333333333331012222210000",
    "00133333333333333333101121100000",
    "00133333333333333333101111100000",
    "01333333333333333333312222210000",
    "01333333331113333311112222210000",
    "01333333312221333142222222210000",
    "01333333312221333122222222210000",
    "01333333312221333311112222210000",
    "01333333331113333333122222221000",
    "01333333333333333333122222221000",
    "00133333333333333333122222221000",
    "00133333333333333333122222221000",
    "00013333333333333331122222221000",
    "00001333333333333311222222222100",
    "00000133333333333101222222222100",
    "00000011333333311001222222222100",
    "00000000111111100001222222222100",
    "00000000000000000001222222222100",
    "00000000000000000012222222222210",
    "00000000000000000012222222212210",
    "00000000000000000001111111101100",
    "00000000000000000000000000000000",
};

const QRgb iconPalette[] = {
    qRgba(0, 0, 0, 0),        // transparent
    qRgba(15, 48, 95, 255),   // dark blue
    qRgba(255, 255, 255, 255), // white
    qRgba(223, 159, 0, 255),  // gold
    qRgba(16, 39, 48, 255),   // dark slate
};

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
    timeLabel = new QLabel(statusBar());
    timeLabel->setObjectName(QStringLiteral("timeLabel"));
    statusBar()->addPermanentWidget(timeLabel, 0);
    lyricsLabel->setMinimumSize(177, 20);
    setWindowIcon(applicationIcon());
    setCentralWidget(lyricsLabel);
    placeFromPreferences();

    playListWindow = PlayListWindow::Instance();
    playListWindow->setWindowIcon(applicationIcon());
    playListWindow->setWindowTitle(QStringLiteral("Vantrel Kivo Player Play List"));
    connect(playListWindow, &PlayListWindow::changed, this, &MainWindow::playlistchanged);
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
    connect(&timer, &QTimer::timeout, this, &MainWindow::timergo);
    connect(menu, &Menu::PreferencesChanged, lyricsLabel, qOverload<>(&LyricsLabel::ScreenRedraw));
    connect(menu, &Menu::advancedcontrolls, this, &MainWindow::advanced);
    mpris = new Mpris(this, toolbar);
    connect(mpris, &Mpris::ReloadRequested, this, &MainWindow::MP3ReloadRequest);
    connect(mpris, &Mpris::OpenRequested, this, &MainWindow::loadFile);
    timer.start(0);

    geometryTimer.setSingleShot(true);
    geometryTimer.setInterval(geometrySettleMs);
    connect(&geometryTimer, &QTimer::timeout, this, &MainWindow::storeGeometry);
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

void MainWindow::storeGeometry()
{
    QMutexLocker locker(&mutex); // guards the timer
    geometryTimer.stop();
    Preferences *preferences = Preferences::Instance();
    preferences->setMainWindowHeight(geometry().height());
    preferences->setMainWindowWidth(geometry().width());
    preferences->setMainWindowPosition(pos().x(), pos().y());
}

void MainWindow::loadFile(const QString &name)
{
    menu->load(name);
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
    QImage image(32, 32, QImage::Format_ARGB32);
    for (int row = 0; row < 32; ++row) {
        for (int column = 0; column < 32; ++column)
            image.setPixel(column, row, iconPalette[iconTable[row][column] - '0']);
    }
    return QPixmap::fromImage(image);
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

void MainWindow::moveEvent(QMoveEvent *)
{
    QMutexLocker locker(&mutex); // guards the timer
    geometryTimer.start();
}

void MainWindow::resizeEvent(QResizeEvent *)
{
    QMutexLocker locker(&mutex); // guards the timer
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
