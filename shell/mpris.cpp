#include "mpris.h"

#include "frametiming.h"
#include "localfilename.h"
#include "mp3object.h"
#include "mprisplayer.h"
#include "mprisroot.h"
#include "songtags.h"
#include "soundsettings.h"
#include "toolbar.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QEvent>
#include <QFileInfo>
#include <QMainWindow>
#include <QMutexLocker>
#include <QToolButton>
#include <QUrl>
#include <QtDebug>

#include <algorithm>
#include <cmath>

namespace {

const QString busName = QStringLiteral("org.mpris.MediaPlayer2.vantrelkivo");
const QString objectPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString playerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");
const QString noTrack = QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack");

// The time frames take, as the status bar's clock counts it: 26 122.45 µs each.
qlonglong microsecondsOf(int frames)
{
    return qlonglong(frames) * FrameTiming::frameNumerator * 1000 / FrameTiming::frameDenominator;
}

// The frame to start at so that the time before it lies nearest to microseconds; frames count
// from 1, so a position read and set again starts the same frame.
int startFrameAt(qlonglong microseconds)
{
    const qint64 frameLength = FrameTiming::frameNumerator * 1000; // in 1/frameDenominator µs
    return int((microseconds * FrameTiming::frameDenominator + frameLength / 2) / frameLength) + 1;
}

} // namespace

Mpris::Mpris(QMainWindow *window, Toolbar *toolbar) : QObject(window), window(window)
{
    const char *names[] = {"Previous", "Play", "Pause", "Stop", "Next"}; // in Button order
    for (size_t i = 0; i < buttons.size(); ++i) {
        buttons[i] = toolbar->findChild<QToolButton *>(QLatin1String(names[i]));
        if (buttons[i])
            buttons[i]->installEventFilter(this);
    }
    publishTimer.setSingleShot(true);
    publishTimer.setInterval(0);
    connect(&publishTimer, &QTimer::timeout, this, &Mpris::publish);
    offer();
}

Mpris::~Mpris()
{
    if (serviceName.isEmpty())
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.unregisterObject(objectPath);
    bus.unregisterService(serviceName); // a new window of the same run can have the name again
}

// Takes the player's name, or a name of its own when another player has it.
void Mpris::offer()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        qInfo("No session bus: media keys and other programs cannot control the player");
        return;
    }
    new MprisRoot(this);
    auto *adaptor = new MprisPlayer(this);
    const QString ownName =
        busName + QStringLiteral(".instance%1").arg(QCoreApplication::applicationPid());
    if (bus.registerObject(objectPath, this, QDBusConnection::ExportAdaptors)) {
        for (const QString &name : {busName, ownName}) {
            if (serviceName.isEmpty() && bus.registerService(name))
                serviceName = name;
        }
    }
    if (serviceName.isEmpty()) {
        qInfo("Unable to offer the player on the session bus: %s",
              qPrintable(bus.lastError().message()));
        bus.unregisterObject(objectPath);
        return;
    }
    QMutexLocker locker(&mutex); // guards what was announced
    player = adaptor;
    published = playerProperties();
}

void Mpris::setSong(MP3Object *newSong, int newStartFrame)
{
    QMutexLocker locker(&mutex); // guards the song and its description
    song = newSong;
    startFrame = newStartFrame;
    publishTimer.start();
    if (!song)
        return;
    if (song->fileName() != songFile)
        describeSong();
    else if (player) // the same song again: reloaded at a frame, or at its start after a stop
        emit player->Seeked(position());
}

void Mpris::describeSong()
{
    songFile = song->fileName();
    ++trackNumber;
    const SongTags tags = SongTags::read(songFile);
    description = {
        {QStringLiteral("mpris:trackid"), QVariant::fromValue(QDBusObjectPath(trackId()))},
        {QStringLiteral("xesam:url"),
         QUrl::fromLocalFile(QFileInfo(songFile).absoluteFilePath()).toString(QUrl::FullyEncoded)},
        {QStringLiteral("xesam:title"), tags.title}};
    if (song->totalFrames() > 0)
        description.insert(QStringLiteral("mpris:length"), microsecondsOf(song->totalFrames()));
    if (!tags.artist.isEmpty())
        description.insert(QStringLiteral("xesam:artist"), QStringList{tags.artist});
    if (!tags.album.isEmpty())
        description.insert(QStringLiteral("xesam:album"), tags.album);
}

bool Mpris::allowed(Button button) const
{
    const QToolButton *pressable = buttons[size_t(button)];
    return pressable && pressable->isEnabled();
}

bool Mpris::hasSong() const
{
    QMutexLocker locker(&mutex); // guards the song
    return song && song->totalFrames() > 0;
}

void Mpris::press(Button button)
{
    if (QToolButton *pressable = buttons[size_t(button)])
        pressable->click(); // does nothing while the button is disabled
}

// The buttons tell the engine's state: Pause is offered only while it plays, Stop in every state
// but stopped. Rewinding and fast forward, both silent, count as paused.
QString Mpris::playbackStatus() const
{
    if (allowed(Button::Pause))
        return QStringLiteral("Playing");
    return allowed(Button::Stop) ? QStringLiteral("Paused") : QStringLiteral("Stopped");
}

QVariantMap Mpris::metadata() const
{
    QMutexLocker locker(&mutex); // guards the description
    if (songFile.isEmpty())
        return {{QStringLiteral("mpris:trackid"), QVariant::fromValue(QDBusObjectPath(noTrack))}};
    return description;
}

QString Mpris::trackId() const
{
    QMutexLocker locker(&mutex); // guards the track number
    return songFile.isEmpty() ? noTrack
                              : QStringLiteral("/org/vantrelkivo/track/%1").arg(trackNumber);
}

// The frames heard; an engine reloaded at a frame stands at 0 until it plays, but has skipped
// the frames before its start.
qlonglong Mpris::position() const
{
    QMutexLocker locker(&mutex); // guards the song
    if (!song)
        return 0;
    return microsecondsOf(song->position() > 0 ? song->position() : std::max(startFrame - 1, 0));
}

bool Mpris::canSeek() const
{
    QMutexLocker locker(&mutex); // guards the song
    return song && song->totalFrames() > 0;
}

void Mpris::seekTo(qlonglong microseconds, bool relative)
{
    QMutexLocker locker(&mutex); // guards the song and the seek
    if (!canSeek() || (!relative && microseconds < 0))
        return;
    if (microseconds >= microsecondsOf(song->totalFrames())) {
        if (relative)
            emit EndRequested();
        return;
    }
    // The engine skips ahead only to a frame before its last.
    const int frame = std::min(startFrameAt(std::max(microseconds, 0LL)), song->totalFrames() - 1);
    emit ReloadRequested(frame); // the window keeps the song playing or paused
}

double Mpris::volume() const
{
    return SoundSettings::muted() ? 0.0
                                  : double(SoundSettings::volume()) / SoundSettings::maxVolume;
}

void Mpris::setVolume(double volume)
{
    if (!std::isnan(volume))
        emit VolumeRequested(
            int(std::lround(std::clamp(volume, 0.0, 1.0) * SoundSettings::maxVolume)));
}

void Mpris::volumeChanged()
{
    publishTimer.start();
}

// Queued, so that the call has its answer before a box about the file waits for the user.
bool Mpris::open(const QString &uri)
{
    QMutexLocker locker(&mutex); // guards opening
    if (opening || QApplication::activeModalWidget())
        return false;
    // A name that is not UTF-8 keeps its bytes, so that the file it names opens.
    const QString path = LocalFileName::fromUrl(uri);
    if (path.isEmpty())
        return true;
    opening = true;
    QMetaObject::invokeMethod(
        this,
        [this, path] {
            emit OpenRequested(path); // returns once any box about the file is answered
            QMutexLocker locker(&mutex); // guards opening
            opening = false;
        },
        Qt::QueuedConnection);
    return true;
}

void Mpris::raise()
{
    if (!window)
        return;
    window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->activateWindow();
}

// Queued, so that the call has its answer before the close offers to save the playlist.
void Mpris::quit()
{
    if (window)
        QMetaObject::invokeMethod(window.data(), &QWidget::close, Qt::QueuedConnection);
}

bool Mpris::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::EnabledChange)
        publishTimer.start(); // a button's state is what can be called and the playback status
    return QObject::eventFilter(watched, event);
}

QVariantMap Mpris::playerProperties() const
{
    return {{QStringLiteral("PlaybackStatus"), playbackStatus()},
            {QStringLiteral("Metadata"), metadata()},
            {QStringLiteral("CanPlay"), hasSong()},
            {QStringLiteral("CanPause"), hasSong()},
            {QStringLiteral("CanGoNext"), allowed(Button::Next)},
            {QStringLiteral("CanGoPrevious"), allowed(Button::Previous)},
            {QStringLiteral("CanSeek"), canSeek()},
            {QStringLiteral("Volume"), volume()}};
}

// Announces the properties that differ from those last announced.
void Mpris::publish()
{
    QMutexLocker locker(&mutex); // guards what was announced
    if (!player)
        return;
    const QVariantMap now = playerProperties();
    QVariantMap changed;
    for (auto property = now.cbegin(); property != now.cend(); ++property) {
        if (published.value(property.key()) != property.value())
            changed.insert(property.key(), property.value());
    }
    if (changed.isEmpty())
        return;
    published = now;
    QDBusMessage signal =
        QDBusMessage::createSignal(objectPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                   QStringLiteral("PropertiesChanged"));
    signal << playerInterface << changed << QStringList();
    QDBusConnection::sessionBus().send(signal);
}
