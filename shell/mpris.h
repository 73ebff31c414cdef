#ifndef MPRIS_H
#define MPRIS_H

#include "recursivemutex.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QVariantMap>

#include <array>

class MP3Object;
class MprisPlayer;
class QMainWindow;
class QToolButton;
class Toolbar;

// Offers the player on the session bus as org.mpris.MediaPlayer2.vantrelkivo, so that media keys,
// desktop media widgets and other programs see and steer it. A call goes through the play control
// toolbar's button, exactly as a click does, and a disabled button refuses it: what can be called
// follows the buttons, but Play and Pause can be called (and PlayPause toggles) whenever a song is
// loaded. A seek past the end is the song's end. A seek is the reload at a frame that the engine
// itself asks for after a rewind. One file at a time is opened: OpenUri is refused while another is
// being opened or a box waits for an answer, so boxes never pile up. A change of the state, the
// song or what can be called is announced with PropertiesChanged once the event loop comes round,
// so a song change announces the new song once. Without a session bus the player runs as before.
// GUI thread only.
class Mpris : public QObject
{
    Q_OBJECT

public:
    enum class Button
    {
        Previous,
        Play,
        Pause,
        Stop,
        Next
    };

    // Steers window through toolbar; a child of window.
    explicit Mpris(QMainWindow *window, Toolbar *toolbar);
    ~Mpris() override;

    // The engine now loaded, built to start at startFrame, or null. The song stays described
    // while no engine is loaded (between a song's end and the next one's load).
    void setSong(MP3Object *song, int startFrame);

    // What the adaptors answer and do.
    bool allowed(Button button) const;
    // A song is loaded that Play and Pause act on.
    bool hasSong() const;
    // Clicks the button; a disabled one does nothing.
    void press(Button button);
    QString playbackStatus() const;
    QVariantMap metadata() const;
    QString trackId() const;
    qlonglong position() const; // microseconds
    bool canSeek() const;
    // To microseconds into the song. Past the end a Seek (relative) ends the song, a
    // SetPosition does nothing.
    void seekTo(qlonglong microseconds, bool relative);
    // The volume as heard, 0.0..1.0: 0 while muted.
    double volume() const;
    // Asks for the volume, clamped to 0.0..1.0; above 0 it also unmutes.
    void setVolume(double volume);
    // Announces the volume once the event loop comes round.
    void volumeChanged();
    // False when refused: another file is being opened, or a modal window waits.
    bool open(const QString &uri);
    void raise();
    void quit();

signals:
    // A seek: the song is to go on from frame (the first frame heard, counted from 1).
    void ReloadRequested(int frame);
    // The volume in per cent, 0..100, as heard: above 0 it also unmutes.
    void VolumeRequested(int percent);
    // A file to open as if chosen with "&Load".
    void OpenRequested(const QString &path);
    // A seek past the end: the song ends as if played to its end.
    void EndRequested();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void offer();
    void describeSong();
    QVariantMap playerProperties() const;
    void publish();

    QPointer<QMainWindow> window;
    std::array<QPointer<QToolButton>, 5> buttons; // by Button
    MprisPlayer *player = nullptr;                // child; null when not offered
    QString serviceName;                          // empty when not offered
    QTimer publishTimer; // announces the changes once the event loop comes round

    mutable RecursiveMutex mutex; // guards every field below
    QPointer<MP3Object> song;
    int startFrame = 0;
    QString songFile;         // the song described, also while no engine is loaded
    int trackNumber = 0;      // counts the songs described
    QVariantMap description;  // the song's metadata
    QVariantMap published;    // the properties as last announced
    bool opening = false; // an OpenUri is queued or being carried out
};

#endif // MPRIS_H
