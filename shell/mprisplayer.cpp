#include "mprisplayer.h"

#include "mpris.h"

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
    return controller->allowed(Mpris::Button::Play);
}

bool MprisPlayer::canPause() const
{
    return controller->allowed(Mpris::Button::Pause);
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

void MprisPlayer::Seek(qlonglong Offset)
{
    controller->seekTo(controller->position() + Offset, true);
}

// A position for another track than the current one is stale and ignored.
void MprisPlayer::SetPosition(const QDBusObjectPath &TrackId, qlonglong Position)
{
    if (TrackId.path() == controller->trackId())
        controller->seekTo(Position, false);
}

void MprisPlayer::OpenUri(const QString &Uri)
{
    controller->open(Uri);
}
