#include "mprisplayer.h"

#include "mpris.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QtNumeric>

#include <limits>

MprisPlayer::MprisPlayer(Mpris *controller)
    : QDBusAbstractAdaptor(controller), controller(controller)
{}

QString MprisPlayer::playbackStatus() const
{
    return controller->playbackStatus();
}

QVariantMap MprisPlayer::metadata() const
{
    return controller->metadata();
}

double MprisPlayer::volume() const
{
    return controller->volume();
}

void MprisPlayer::setVolume(double volume)
{
    controller->setVolume(volume);
}

qlonglong MprisPlayer::position() const
{
    return controller->position();
}

bool MprisPlayer::canGoNext() const
{
    return controller->allowed(Mpris::Button::Next);
}

bool MprisPlayer::canGoPrevious() const
{
    return controller->allowed(Mpris::Button::Previous);
}

bool MprisPlayer::canPlay() const
{
    return controller->hasSong();
}

bool MprisPlayer::canPause() const
{
    return controller->hasSong();
}

bool MprisPlayer::canSeek() const
{
    return controller->canSeek();
}

void MprisPlayer::Next()
{
    controller->press(Mpris::Button::Next);
}

void MprisPlayer::Previous()
{
    controller->press(Mpris::Button::Previous);
}

void MprisPlayer::Pause()
{
    controller->press(Mpris::Button::Pause);
}

void MprisPlayer::PlayPause()
{
    controller->press(controller->allowed(Mpris::Button::Pause) ? Mpris::Button::Pause
                                                                : Mpris::Button::Play);
}

void MprisPlayer::Stop()
{
    controller->press(Mpris::Button::Stop);
}

void MprisPlayer::Play()
{
    controller->press(Mpris::Button::Play);
}

// A target beyond the range of the type is as far as it goes: past the end, or the start.
void MprisPlayer::Seek(qlonglong Offset)
{
    qlonglong target = 0;
    if (qAddOverflow(controller->position(), Offset, &target))
        target = Offset > 0 ? std::numeric_limits<qlonglong>::max() : 0;
    controller->seekTo(target, true);
}

// A position for another track than the current one is stale and ignored.
void MprisPlayer::SetPosition(const QDBusObjectPath &TrackId, qlonglong Position)
{
    if (TrackId.path() == controller->trackId())
        controller->seekTo(Position, false);
}

void MprisPlayer::OpenUri(const QString &Uri, const QDBusMessage &message)
{
    if (controller->open(Uri))
        return;
    message.setDelayedReply(true); // the error below is the answer
    QDBusConnection::sessionBus().send(message.createErrorReply(
        QDBusError::Failed, QStringLiteral("The player is opening another file or waiting for "
                                           "an answer; try again later")));
}
