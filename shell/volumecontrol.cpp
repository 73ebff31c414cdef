#include "volumecontrol.h"

#include "extrasettings.h"
#include "soundsettings.h"

#include <QHBoxLayout>
#include <QSignalBlocker>
#include <QSlider>
#include <QStyle>
#include <QToolButton>
#include <QWheelEvent>

namespace {

constexpr int wheelNotch = 120; // eighths of a degree
constexpr int sliderWidth = 90;

} // namespace

VolumeControl::VolumeControl(QWidget *parent) : QWidget(parent)
{
    muteButton = new QToolButton(this);
    muteButton->setObjectName(QStringLiteral("muteButton"));
    muteButton->setCheckable(true);
    muteButton->setAutoRaise(true);
    muteButton->setFocusPolicy(Qt::NoFocus);
    muteButton->setToolTip(QStringLiteral("Mute (M)"));
    slider = new QSlider(Qt::Horizontal, this);
    slider->setObjectName(QStringLiteral("volumeSlider"));
    slider->setRange(0, SoundSettings::maxVolume);
    slider->setSingleStep(step);
    slider->setPageStep(step);
    slider->setFocusPolicy(Qt::NoFocus); // Ctrl+Up and Ctrl+Down are the window's
    slider->setFixedWidth(sliderWidth);
    slider->installEventFilter(this);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(muteButton);
    layout->addWidget(slider);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed); // the seek bar takes the room left

    const ExtraSettings &settings = ExtraSettings::instance();
    slider->setValue(settings.intValue(QLatin1String(volumeKey), SoundSettings::maxVolume, 0,
                                       SoundSettings::maxVolume));
    muteButton->setChecked(settings.boolValue(QLatin1String(mutedKey), false));
    apply();
    storing = true; // what was read is not written back
    connect(slider, &QSlider::valueChanged, this, &VolumeControl::apply);
    connect(slider, &QSlider::sliderReleased, this, &VolumeControl::apply);
    connect(muteButton, &QToolButton::toggled, this, &VolumeControl::apply);
}

int VolumeControl::volume() const
{
    return slider->value();
}

bool VolumeControl::isMuted() const
{
    return muteButton->isChecked();
}

void VolumeControl::setVolume(int percent)
{
    slider->setValue(percent); // clamps; an unchanged value changes nothing
}

void VolumeControl::setMuted(bool muted)
{
    muteButton->setChecked(muted);
}

void VolumeControl::setHeardVolume(int percent)
{
    setVolume(percent);
    if (percent > 0)
        setMuted(false);
}

void VolumeControl::apply()
{
    const int percent = slider->value();
    const bool muted = muteButton->isChecked();
    SoundSettings::setVolume(percent);
    SoundSettings::setMuted(muted);
    muteButton->setIcon(
        style()->standardIcon(muted ? QStyle::SP_MediaVolumeMuted : QStyle::SP_MediaVolume));
    slider->setToolTip(QStringLiteral("Volume %1 % (Ctrl+Up, Ctrl+Down)").arg(percent));
    if (storing && !slider->isSliderDown()) {
        ExtraSettings &settings = ExtraSettings::instance();
        settings.setValue(QLatin1String(volumeKey), percent); // writes only what changed
        settings.setValue(QLatin1String(mutedKey), muted);
    }
    emit changed(percent, muted);
}

bool VolumeControl::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == slider && event->type() == QEvent::Wheel) {
        const QPoint turned = static_cast<QWheelEvent *>(event)->angleDelta();
        wheelRest += turned.y() != 0 ? turned.y() : turned.x();
        const int notches = wheelRest / wheelNotch;
        wheelRest %= wheelNotch;
        if (notches != 0)
            setVolume(volume() + notches * step);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
