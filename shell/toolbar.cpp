#include "toolbar.h"

#include "toolbaricons.h"

#include <QMainWindow>
#include <QToolButton>

Toolbar *Toolbar::Instance(QMainWindow *parent, const char *name)
{
    return SingleInstance<Toolbar>::obtain(instanceRules, parent, name);
}

bool Toolbar::hasAnInstance()
{
    return SingleInstance<Toolbar>::hasAnInstance(instanceRules);
}

Toolbar::Toolbar(QMainWindow *parent, const char *name)
    : QToolBar(parent), previousIcon(PlayControlIcons::previousXpm),
      rewindIcon(PlayControlIcons::rewindXpm), playIcon(PlayControlIcons::playXpm),
      stopIcon(PlayControlIcons::stopXpm), pauseIcon(PlayControlIcons::pauseXpm),
      ffIcon(PlayControlIcons::ffXpm), nextIcon(PlayControlIcons::nextXpm)
{
    setObjectName(QString::fromLatin1(name));
    if (parent)
        parent->addToolBar(Qt::TopToolBarArea, this);

    // Screen order, which differs from the declaration order (Pause comes before Stop here).
    previousButton =
        makeButton(previousIcon, QStringLiteral("Previous"), &Toolbar::previousPressed);
    rewindButton = makeButton(rewindIcon, QStringLiteral("Rewind"), &Toolbar::rewindPressed);
    playButton = makeButton(playIcon, QStringLiteral("Play"), &Toolbar::playPressed);
    pauseButton = makeButton(pauseIcon, QStringLiteral("Pause"), &Toolbar::pausePressed);
    stopButton = makeButton(stopIcon, QStringLiteral("Stop"), &Toolbar::stopPressed);
    ffButton = makeButton(ffIcon, QStringLiteral("FF"), &Toolbar::ffPressed);
    nextButton = makeButton(nextIcon, QStringLiteral("Next"), &Toolbar::nextPressed);

    AllowPrevious(false);
    AllowRewind(false);
    AllowPlay(false);
    AllowPause(false);
    AllowStop(false);
    AllowNext(false);
    AllowFF(false);
}

Toolbar::~Toolbar()
{
    SingleInstance<Toolbar>::DestructorLock classLock(this); // guards the instance pointer
    QMutexLocker locker(&mutex);                             // guards the buttons while they go
    for (QToolButton **button : {&previousButton, &rewindButton, &playButton, &stopButton,
                                 &pauseButton, &ffButton, &nextButton}) {
        delete *button;
        *button = nullptr;
    }
}

// The label is also the tool tip and the object name; the status bar gets no text of its own.
QToolButton *Toolbar::makeButton(const QPixmap &icon, const QString &label,
                                 void (Toolbar::*pressed)())
{
    auto *button = new QToolButton(this);
    button->setIcon(icon);
    button->setText(label);
    button->setToolTip(label);
    button->setStatusTip(QString());
    button->setObjectName(label);
    button->setAutoRaise(true);
    connect(button, &QToolButton::clicked, this, pressed);
    addWidget(button);
    return button;
}

void Toolbar::allow(QToolButton *button, bool on)
{
    QMutexLocker locker(&mutex); // guards the buttons' enabled state
    button->setEnabled(on);
}

void Toolbar::AllowPrevious(bool on)
{
    allow(previousButton, on);
}

void Toolbar::AllowRewind(bool on)
{
    allow(rewindButton, on);
}

void Toolbar::AllowPlay(bool on)
{
    allow(playButton, on);
}

void Toolbar::AllowStop(bool on)
{
    allow(stopButton, on);
}

void Toolbar::AllowPause(bool on)
{
    allow(pauseButton, on);
}

void Toolbar::AllowFF(bool on)
{
    allow(ffButton, on);
}

void Toolbar::AllowNext(bool on)
{
    allow(nextButton, on);
}

void Toolbar::previousPressed()
{
    emit PreviousButtonPressed();
}

void Toolbar::rewindPressed()
{
    emit RewindButtonPressed();
}

void Toolbar::playPressed()
{
    emit PlayButtonPressed();
}

void Toolbar::pausePressed()
{
    emit PauseButtonPressed();
}

void Toolbar::stopPressed()
{
    emit StopButtonPressed();
}

void Toolbar::ffPressed()
{
    emit FastForwardButtonPressed();
}

void Toolbar::nextPressed()
{
    emit NextButtonPressed();
}
