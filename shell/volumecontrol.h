#ifndef VOLUMECONTROL_H
#define VOLUMECONTROL_H

#include <QWidget>

class QSlider;
class QToolButton;
class QWheelEvent;

// The volume: a mute button and a slider in per cent, for the sound settings that the audio
// callback applies. The volume and the muting last from run to run in the second settings file
// ("volume", 0..100, 100 at first; "muted", false at first), written when a change is done (a
// step, a click, a drag released), not on every pixel of a drag. The wheel over the slider moves
// it a step a notch. GUI thread only.
class VolumeControl : public QWidget
{
    Q_OBJECT

public:
    static constexpr int step = 5; // per cent
    static constexpr const char *volumeKey = "volume";
    static constexpr const char *mutedKey = "muted";

    // Reads the stored volume and muting and puts them into effect.
    explicit VolumeControl(QWidget *parent = nullptr);

    int volume() const;
    bool isMuted() const;

public slots:
    // Clamped to 0..100.
    void setVolume(int percent);
    void setMuted(bool muted);
    void stepUp() { setVolume(volume() + step); }
    void stepDown() { setVolume(volume() - step); }
    // The volume as heard, as a desktop's volume control sets it: above 0 it also unmutes.
    void setHeardVolume(int percent);

signals:
    // After every change of either, also while the slider is dragged.
    void changed(int volume, bool muted);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Puts the slider's and the button's state into effect, and stores it unless dragging.
    void apply();

    QSlider *slider = nullptr;
    QToolButton *muteButton = nullptr;
    int wheelRest = 0; // eighths of a degree not yet turned into a step
    bool storing = false;
};

#endif // VOLUMECONTROL_H
