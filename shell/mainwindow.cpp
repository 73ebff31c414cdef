#include "mainwindow.h"

#include "advancedpreferenceswindow.h"
#include "applicationicon.h"
#include "cdgview.h"
#include "entry.h"
#include "extrasettings.h"
#include "frametiming.h"
#include "librarylink.h"
#include "lyricsdata.h"
#include "lyricslabel.h"
#include "menu.h"
#include "mp3object.h"
#include "mpris.h"
#include "partylink.h"
#include "playbackmenu.h"
#include "playlistwindow.h"
#include "preferences.h"
#include "seekbar.h"
#include "soundoutput.h"
#include "soundsettings.h"
#include "toolbar.h"
#include "volumecontrol.h"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMutexLocker>
#include <QPixmap>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>
#include <QToolBar>
#include <QtDebug>

#include <algorithm>
#include <utility>

namespace {

// How long the window must keep still before its size and place are stored.
constexpr int geometrySettleMs = 250;
// "Fit Lyrics to Window", one setting per mode: off in the window, on in full screen at first.
const QString fitLyricsWindowKey = QStringLiteral("fitLyricsWindow");
const QString fitLyricsFullScreenKey = QStringLiteral("fitLyricsFullScreen");

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
    playbackMenu = new PlaybackMenu(menuBar(), toolbar, this);
    addSoundControls();
    addSeekAndVolume();
    // A status tip (a menu's, while it is open) replaces the text; once it is cleared the text
    // comes back.
    connect(statusBar(), &QStatusBar::messageChanged, this, [this](const QString &shown) {
        QMutexLocker locker(&mutex); // guards statusWanted
        if (shown.isEmpty() && !statusWanted.isEmpty())
            statusBar()->showMessage(statusWanted);
    });
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
    playbackMenu->menu()->addSeparator();
    playbackMenu->menu()->addAction(library->loudnessAction());
    party = new PartyLink(library->index(), playbackMenu->menu(), lyricsLabel, this);
    connect(toolbar, &Toolbar::PlayButtonPressed, party, &PartyLink::playPressed);
    party->startIfWanted(commandLineParty, commandLinePartyPort);
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
    graphicsView = new CdgView(lyricsLabel);
    connect(menu, &Menu::GraphicsOptionsChanged, graphicsView, &CdgView::readOptions);
    mpris = new Mpris(this, toolbar);
    connect(mpris, &Mpris::ReloadRequested, this, &MainWindow::seekTo);
    connect(mpris, &Mpris::VolumeRequested, volumeControl, &VolumeControl::setHeardVolume);
    connect(volumeControl, &VolumeControl::changed, mpris, &Mpris::volumeChanged);
    connect(mpris, &Mpris::OpenRequested, this, &MainWindow::loadFile);
    connect(mpris, &Mpris::EndRequested, this, &MainWindow::EndOfSong);
    timer.start(0);

    geometryTimer.setObjectName(QStringLiteral("geometryTimer"));
    geometryTimer.setSingleShot(true);
    geometryTimer.setInterval(geometrySettleMs);
    connect(&geometryTimer, &QTimer::timeout, this, &MainWindow::storeGeometry);
    connect(playbackMenu->action(PlaybackMenu::Entry::FullScreen), &QAction::triggered, this,
            &MainWindow::toggleFullScreen);
    leaveFullScreenKey = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    leaveFullScreenKey->setEnabled(false);
    connect(leaveFullScreenKey, &QShortcut::activated, this, &MainWindow::toggleFullScreen);
    connect(lyricsLabel, &LyricsLabel::doubleClicked, this, &MainWindow::toggleFullScreen);
    // The menus' accelerators keep working while full screen hides the menu bar.
    for (const QMenu *popup : menuBar()->findChildren<QMenu *>())
        addActions(popup->actions());
    addActions(seekBar->keyActions());
    advancedWindow = std::make_unique<AdvancedPreferencesWindow>();
    connectStage();
}

void MainWindow::connectStage()
{
    connect(menu, &Menu::fitLyricsToggled, this, &MainWindow::setFitLyrics);
    connect(toolbar, &Toolbar::PauseButtonPressed, lyricsLabel,
            [this] { lyricsLabel->showNotice(QStringLiteral("Paused")); });
    connect(toolbar, &Toolbar::PlayButtonPressed, lyricsLabel,
            [this] { lyricsLabel->showNotice(QStringLiteral("Playing")); });
    connect(volumeControl, &VolumeControl::changed, lyricsLabel, [this](int volume, bool muted) {
        lyricsLabel->showNotice(muted ? QStringLiteral("Muted")
                                      : QStringLiteral("Volume %1 %").arg(volume));
    });
    lyricsLabel->setPositionSource([this] {
        QMutexLocker locker(&mutex); // guards song
        return song ? FrameTiming::msForFrame(song->position()) : qint64(-1);
    });
    applyFitLyrics();
}

void MainWindow::applyFitLyrics()
{
    const bool fit = ExtraSettings::instance().boolValue(
        fullScreen ? fitLyricsFullScreenKey : fitLyricsWindowKey, fullScreen);
    menu->setFitLyricsChecked(fit);
    lyricsLabel->setFitToWindow(fit);
}

void MainWindow::setFitLyrics(bool fit)
{
    QMutexLocker locker(&mutex); // guards the full-screen flag
    ExtraSettings::instance().setValue(fullScreen ? fitLyricsFullScreenKey : fitLyricsWindowKey,
                                       fit);
    lyricsLabel->setFitToWindow(fit);
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
    playbackMenu->showFullScreen(fullScreen);
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
    for (QWidget *bar :
         std::initializer_list<QWidget *>{menuBar(), toolbar, seekToolbar, statusBar()}) {
        if (!bar->isHidden()) {
            bar->hide();
            hiddenBars << bar;
        }
    }
    lyricsFrame = lyricsLabel->frameStyle();
    lyricsLabel->setFrameStyle(QFrame::NoFrame);
    leaveFullScreenKey->setEnabled(true);
    applyFitLyrics();
    lyricsLabel->showNotice(QStringLiteral("Full screen"));
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
    applyFitLyrics();
    lyricsLabel->showNotice(QStringLiteral("Window"));
}

// The Playback menu's Key Up (+ or =, the same key unshifted), Key Down (-), Original Key (0) and
// Vocal Reduction (V). The settings hold for the rest of the run; the sound changes within a few
// device periods.
void MainWindow::addSoundControls()
{
    soundLabel = new QLabel(statusBar());
    soundLabel->setObjectName(QStringLiteral("soundLabel"));
    statusBar()->addPermanentWidget(soundLabel, 0);
    using Entry = PlaybackMenu::Entry;
    const auto bind = [this](Entry entry, auto change) {
        connect(playbackMenu->action(entry), &QAction::triggered, this, [this, change] {
            const auto [key, vocalsReduced] =
                change(SoundSettings::key(), SoundSettings::vocalsReduced());
            changeSound(key, vocalsReduced);
        });
    };
    bind(Entry::KeyUp, [](int key, bool vocals) { return std::pair(key + 1, vocals); });
    bind(Entry::KeyDown, [](int key, bool vocals) { return std::pair(key - 1, vocals); });
    bind(Entry::OriginalKey, [](int, bool vocals) { return std::pair(0, vocals); });
    bind(Entry::VocalReduction, [](int key, bool vocals) { return std::pair(key, !vocals); });
    changeSound(SoundSettings::key(), SoundSettings::vocalsReduced());
}

void MainWindow::changeSound(int key, bool vocalsReduced)
{
    QMutexLocker locker(&mutex); // guards soundLabel
    const bool vocalsBefore = SoundSettings::vocalsReduced();
    SoundSettings::setKey(key);
    SoundSettings::setVocalsReduced(vocalsReduced);
    soundLabel->setText(soundText(SoundSettings::key(), SoundSettings::vocalsReduced()));
    playbackMenu->showSound(SoundSettings::key(), SoundSettings::vocalsReduced());
    if (SoundSettings::vocalsReduced() != vocalsBefore)
        lyricsLabel->showNotice(vocalsReduced ? QStringLiteral("Vocals reduced")
                                              : QStringLiteral("Vocals back"));
    else // also at the limit, where the key stays
        lyricsLabel->showNotice(SoundSettings::key() == 0
                                    ? QStringLiteral("Key 0")
                                    : soundText(SoundSettings::key(), false));
}

void MainWindow::addSeekAndVolume()
{
    seekToolbar = new QToolBar(QStringLiteral("Seek Bar"), this);
    seekToolbar->setObjectName(QStringLiteral("seekToolbar"));
    seekToolbar->setMovable(false);
    seekBar = new SeekBar(seekToolbar);
    volumeControl = new VolumeControl(seekToolbar);
    seekToolbar->addWidget(seekBar);
    seekToolbar->addWidget(volumeControl);
    addToolBar(Qt::BottomToolBarArea, seekToolbar);
    // The bar counts the frames heard before the place; the engine, the first one heard.
    connect(seekBar, &SeekBar::seekRequested, this, [this](int frames) { seekTo(frames + 1); });

    using Entry = PlaybackMenu::Entry;
    connect(playbackMenu->action(Entry::VolumeUp), &QAction::triggered, volumeControl,
            &VolumeControl::stepUp);
    connect(playbackMenu->action(Entry::VolumeDown), &QAction::triggered, volumeControl,
            &VolumeControl::stepDown);
    connect(playbackMenu->action(Entry::Mute), &QAction::triggered, volumeControl,
            &VolumeControl::setMuted);
    connect(volumeControl, &VolumeControl::changed, playbackMenu, &PlaybackMenu::showVolume);
    playbackMenu->showVolume(volumeControl->volume(), volumeControl->isMuted());
}

void MainWindow::seekTo(int frame)
{
    QMutexLocker locker(&mutex); // guards song and the flags
    if (!song || song->totalFrames() == 0)
        return;
    if (afterSeek == AfterSeek::None) { // a seek on its way keeps the state the first one found
        const QString status = song->statusText(), file = song->fileName();
        afterSeek = status == QStringLiteral("Playing ") + file     ? AfterSeek::Play
                    : status == file + QStringLiteral(" is Paused") ? AfterSeek::Pause
                                                                    : AfterSeek::Hold;
    }
    // The engine skips ahead only to a frame before its last.
    MP3ReloadRequest(std::clamp(frame, 0, song->totalFrames() - 1));
}

int MainWindow::heardPosition()
{
    if (song->position() > 0)
        startPlace = 0;
    return song->position() > 0 ? song->position() : startPlace;
}

void MainWindow::followSong()
{
    seekBar->setLength(song ? song->totalFrames() : 0);
    if (song)
        seekBar->follow(heardPosition());
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

void MainWindow::showStatus(const QString &text)
{
    statusWanted = text;
    if (statusBar()->currentMessage() != text)
        statusBar()->showMessage(text);
}

// Said in the status bar by the engine's own text, and in a box once until a song plays again.
// The box is not modal to the application, so playback and requests go on meanwhile.
void MainWindow::noSoundOutput(const QString &reason)
{
    QMutexLocker locker(&mutex); // guards soundBoxShown
    if (soundBoxShown)
        return;
    soundBoxShown = true;
    auto *soundBox =
        new QMessageBox(QMessageBox::Warning, QStringLiteral("No sound output"),
                        QStringLiteral("No sound output: ") + reason, QMessageBox::Ok, this);
    soundBox->setObjectName(QStringLiteral("NoSoundOutputBox"));
    soundBox->setAttribute(Qt::WA_DeleteOnClose);
    soundBox->open();
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
    const AfterSeek resume = std::exchange(afterSeek, AfterSeek::None);
    lyricsLabel->ScreenRedraw(nullptr);
    startPlace = std::max(startFrame - 1, 0);
    lyricsLabel->setSong(file);
    lyricsLabel->setPlayPosition(FrameTiming::msForFrame(startFrame));
    song = MP3Object::Instance(file, startFrame);
    library->songStarted(file);
    party->setStageIdle(false);
    graphicsView->setSong(file);
    if (!song || !song->hasFramesToPlay()) {
        // Nothing to play: say so, and skip the song once (its end comes on the next pass). A
        // song of one frame is such a song; stopped and reloaded it would end again at once.
        showStatus(QStringLiteral("Unable to play ") + QFileInfo(file).fileName());
        if (failedInARow == 0)
            failedSongs.clear();
        failedSongs.insert(file);
        // Every row of the list failed, one after another (a file listed many times need fail
        // only once).
        if (++failedInARow >= playListWindow->songCount() ||
            failedSongs.size() >= playListWindow->distinctSongCount())
            halted = true;
        if (!song) {
            halted = true;
            return;
        }
    } else {
        failedInARow = 0;
        showStatus(song->fileName());
    }
    connectSong();
    setStepAllowed();
    if (resume == AfterSeek::Play) {
        song->Play();
    } else if (resume == AfterSeek::Pause) {
        song->Pause();
    } else if (resume == AfterSeek::None && Preferences::Instance()->autoPlay() && !stopPending) {
        song->Play();
        stopPending = false;
    }
    song->updateControls();
    mpris->setSong(song, startFrame);
}

// The sixteen connections of one engine and its asking for a pass, made afresh for every engine.
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
    connect(song, &MP3Object::soundUnavailable, this, &MainWindow::noSoundOutput);
    connect(song, &MP3Object::canpause, this, [this](bool playing) {
        QMutexLocker locker(&mutex); // guards soundBoxShown
        soundBoxShown = soundBoxShown && !playing; // the sound works again
    });
}

void MainWindow::deleteSong()
{
    lyricsLabel->ScreenRedraw(nullptr); // its page goes with the engine
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
        showStatus(song->statusText());
        song->timergo();
        graphicsView->showFrame(heardPosition());
        lyricsLabel->setPlayPosition(FrameTiming::msForFrame(heardPosition()));
        timeLabel->setText(formatTime(heardPosition()) + QStringLiteral(" / ") +
                           formatTime(song->totalFrames()));
        workLeft = false;
    } else if (playListWindow->hasCurrentSong() && !halted) {
        loadSong(playListWindow->currentSongFile(), reloadFrame);
        reloadFrame = 0;
    } else {
        workLeft = false;
    }
    followSong();
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
// song that could not be played is skipped instead, and when the list cannot go on or every
// row has failed in a row, playback halts until the playlist changes.
void MainWindow::finishSong()
{
    const bool failed = failedInARow > 0;
    if (failed && (halted || !playListWindow->canGoNext())) {
        halted = true;
        deleteSong();
        lyricsLabel->setSong(QString());
        setTransportAllowed(false);
        showStatus(QStringLiteral("Unable to play ") +
                   QFileInfo(playListWindow->currentSongFile()).fileName());
        return;
    }
    if (party->songEnded()) { // the next singer's song comes after the card
        if (song)
            song->Stop();
        return;
    }
    const bool another = playListWindow->canGoNext();
    party->setStageIdle(!another);
    if (another)
        deleteSong();
    else if (song)
        song->Stop();
    playListWindow->goNext();
    if (another && playListWindow->hasCurrentSong())
        lyricsLabel->showNext(QFileInfo(playListWindow->currentSongFile()).completeBaseName());
}

void MainWindow::playlistchanged()
{
    QMutexLocker locker(&mutex); // guards song and the flags
    setStepAllowed();
    if (halted)
        failedInARow = 0; // a changed list is tried afresh
    halted = false;
    if (!playListWindow->hasCurrentSong())
        return;
    const QString current = playListWindow->currentSongFile();
    if (song && song->fileName() != current) {
        songChangePending = true;
        setTransportAllowed(false);
        showStatus(QStringLiteral("Changing to song ") + current);
        toolbar->AllowNext(false);
        toolbar->AllowPrevious(false);
    } else if (!song) {
        showStatus(QStringLiteral("Loading song ") + current);
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
    // At the list's end the text stays until the stopped song's own replaces it.
    if (playListWindow->canGoNext())
        showStatus(QStringLiteral("Loading Next Song on Playlist"));
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

// Closes the playlist window (which may first offer to save a changed list, and may be cancelled
// there), keeping the playlist's stored visibility as it was before the close, then stops and
// deletes the engine.
void MainWindow::closeEvent(QCloseEvent *event)
{
    QMutexLocker locker(&mutex); // guards song, the flags and the timers
    Preferences *preferences = Preferences::Instance();
    const bool playlistVisible = preferences->playlistVisible();
    if (!playListWindow->close()) {
        event->ignore(); // Cancel when offered to save the list: the player plays on
        return;
    }
    preferences->setPlaylistVisible(playlistVisible);
    if (song)
        song->Stop();
    advancedWindow->hide();
    closing = true;
    if (song)
        deleteSong();
    timer.stop();
    storeGeometry();
    event->accept();
}
