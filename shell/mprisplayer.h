#ifndef MPRISPLAYER_H
#define MPRISPLAYER_H

#include <QDBusAbstractAdaptor>
#include <QDBusObjectPath>
#include <QVariantMap>

class Mpris;
class QDBusMessage;

// org.mpris.MediaPlayer2.Player on the session bus: the play control toolbar, the current song and
// its position for media keys, desktop media widgets and other programs. Everything is answered
// by the controller; the rate is fixed. A call that cannot be taken now is answered with a D-Bus
// error. GUI thread only.
class MprisPlayer : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ playbackStatus)
    Q_PROPERTY(double Rate READ rate)
    Q_PROPERTY(double MinimumRate READ rate)
    Q_PROPERTY(double MaximumRate READ rate)
    Q_PROPERTY(double Volume READ volume WRITE setVolume)
    Q_PROPERTY(QVariantMap Metadata READ metadata)
    Q_PROPERTY(qlonglong Position READ position)
    Q_PROPERTY(bool CanGoNext READ canGoNext)
    Q_PROPERTY(bool CanGoPrevious READ canGoPrevious)
    Q_PROPERTY(bool CanPlay READ canPlay)
    Q_PROPERTY(bool CanPause READ canPause)
    Q_PROPERTY(bool CanSeek READ canSeek)
    Q_PROPERTY(bool CanControl READ canControl)

public:
    explicit MprisPlayer(Mpris *controller);

    QString playbackStatus() const;
    double rate() const { return 1.0; }
    double volume() const;
    void setVolume(double volume);
    QVariantMap metadata() const;
    qlonglong position() const;
    bool canGoNext() const;
    bool canGoPrevious() const;
    bool canPlay() const;
    bool canPause() const;
    bool canSeek() const;
    bool canControl() const { return true; }

public slots:
    void Next();
    void Previous();
    void Pause();
    void PlayPause();
    void Stop();
    void Play();
    void Seek(qlonglong Offset);
    void SetPosition(const QDBusObjectPath &TrackId, qlonglong Position);
    // The message is the call itself, for the error reply that refuses it.
    void OpenUri(const QString &Uri, const QDBusMessage &message);

signals:
    // The position jumped (a seek, a restart after rewinding, a stop): microseconds.
    void Seeked(qlonglong Position);

private:
    Mpris *controller = nullptr;
};

#endif // MPRISPLAYER_H
