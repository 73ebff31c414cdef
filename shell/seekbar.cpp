#include "seekbar.h"

#include "frametiming.h"
#include "mainwindow.h"

#include <QAction>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QWheelEvent>

#include <algorithm>

namespace {

// The frames that ms of song take, to the nearest.
int framesFor(int ms)
{
    const qint64 scaled = qint64(ms) * FrameTiming::frameDenominator;
    const qint64 half = FrameTiming::frameNumerator / 2;
    return int((scaled + (scaled < 0 ? -half : half)) / FrameTiming::frameNumerator);
}

// One notch of a common mouse wheel, in eighths of a degree.
constexpr int wheelNotch = 120;

} // namespace

SeekBar::SeekBar(QWidget *parent) : QWidget(parent)
{
    elapsedLabel = new QLabel(this);
    elapsedLabel->setObjectName(QStringLiteral("elapsedLabel"));
    remainingLabel = new QLabel(this);
    remainingLabel->setObjectName(QStringLiteral("remainingLabel"));
    const int labelWidth = fontMetrics().horizontalAdvance(QStringLiteral("-00:00")) + 4;
    for (QLabel *label : {elapsedLabel, remainingLabel})
        label->setMinimumWidth(labelWidth);
    elapsedLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    remainingLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    slider = new QSlider(Qt::Horizontal, this);
    slider->setObjectName(QStringLiteral("seekSlider"));
    slider->setFocusPolicy(Qt::NoFocus); // the keys are the window's, wherever the focus is
    slider->setToolTip(QStringLiteral("Seek (Left, Right, Shift+Left, Shift+Right, Home)"));
    slider->installEventFilter(this);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(elapsedLabel);
    layout->addWidget(slider, 1);
    layout->addWidget(remainingLabel);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);

    dragRest.setSingleShot(true);
    dragRest.setInterval(dragRestMs);
    connect(&dragRest, &QTimer::timeout, this, [this] {
        if (slider->isSliderDown())
            requestSeek(slider->value());
    });
    connect(slider, &QSlider::valueChanged, this, &SeekBar::showPlace);
    connect(slider, &QSlider::sliderMoved, this, [this] { dragRest.start(); });
    connect(slider, &QSlider::sliderReleased, this, [this] {
        dragRest.stop();
        requestSeek(slider->value());
    });

    addKey(QKeySequence(Qt::Key_Left), -smallStepMs);
    addKey(QKeySequence(Qt::Key_Right), smallStepMs);
    addKey(QKeySequence(Qt::SHIFT | Qt::Key_Left), -largeStepMs);
    addKey(QKeySequence(Qt::SHIFT | Qt::Key_Right), largeStepMs);
    auto *home = new QAction(QStringLiteral("To the Start"), this);
    home->setShortcut(QKeySequence(Qt::Key_Home));
    connect(home, &QAction::triggered, this, [this] { requestSeek(0); });
    keys << home;
    setLength(0);
    showPlace(0);
}

void SeekBar::addKey(const QKeySequence &sequence, int ms)
{
    auto *key = new QAction(QStringLiteral("Seek %1 s").arg(ms / 1000), this);
    key->setShortcut(sequence);
    connect(key, &QAction::triggered, this, [this, ms] { stepBy(ms); });
    keys << key;
}

void SeekBar::setLength(int frames)
{
    frames = std::max(frames, 0);
    if (frames == songLength && slider->isEnabled() == (frames > 0))
        return;
    songLength = frames;
    lastRequested = -1;
    slider->setRange(0, frames);
    slider->setEnabled(frames > 0);
    for (QAction *key : std::as_const(keys))
        key->setEnabled(frames > 0);
    showPlace(slider->value());
}

int SeekBar::place() const
{
    return slider->value();
}

void SeekBar::follow(int frames)
{
    if (slider->isSliderDown())
        return;
    if (frames != lastRequested)
        lastRequested = -1; // heard elsewhere: the same place may be asked for again
    slider->setValue(frames);
    showPlace(slider->value());
}

void SeekBar::stepBy(int ms)
{
    if (songLength > 0)
        requestSeek(place() + framesFor(ms));
}

void SeekBar::showPlace(int frames)
{
    elapsedLabel->setText(MainWindow::formatTime(frames));
    remainingLabel->setText(QLatin1Char('-') +
                            MainWindow::formatTime(std::max(songLength - frames, 0)));
}

// A place already asked for and not yet left is not asked for again (a release where the drag
// last rested, a second Home).
void SeekBar::requestSeek(int frames)
{
    if (songLength == 0)
        return;
    frames = std::clamp(frames, 0, songLength);
    slider->setValue(frames);
    if (frames == lastRequested)
        return;
    lastRequested = frames;
    emit seekRequested(frames);
}

bool SeekBar::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == slider && event->type() == QEvent::Wheel) {
        wheelEvent(static_cast<QWheelEvent *>(event));
        return true;
    }
    if (watched == slider && event->type() == QEvent::MouseButtonPress) {
        const auto *press = static_cast<QMouseEvent *>(event);
        if (press->button() == Qt::LeftButton && slider->isEnabled())
            jumpToPointer(press->position().toPoint());
    }
    return QWidget::eventFilter(watched, event);
}

void SeekBar::wheelEvent(QWheelEvent *event)
{
    event->accept();
    if (songLength == 0)
        return;
    const QPoint turned = event->angleDelta();
    wheelRest += turned.y() != 0 ? turned.y() : turned.x();
    const int notches = wheelRest / wheelNotch;
    wheelRest %= wheelNotch;
    if (notches != 0 && songLength > 0)
        requestSeek(place() + notches * framesFor(smallStepMs)); // each notch as long as a key's
}

void SeekBar::jumpToPointer(const QPoint &at)
{
    QStyleOptionSlider option;
    option.initFrom(slider);
    option.orientation = Qt::Horizontal;
    option.minimum = slider->minimum();
    option.maximum = slider->maximum();
    option.sliderPosition = slider->sliderPosition();
    option.sliderValue = slider->value();
    option.subControls = QStyle::SC_SliderGroove | QStyle::SC_SliderHandle;
    const QStyle *style = slider->style();
    const QRect groove =
        style->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, slider);
    const QRect handle =
        style->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, slider);
    if (handle.contains(at))
        return; // the slider drags it from where it is
    const int span = groove.width() - handle.width();
    slider->setValue(QStyle::sliderValueFromPosition(
        slider->minimum(), slider->maximum(), at.x() - groove.x() - handle.width() / 2, span));
}
