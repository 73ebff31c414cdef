#include "playbackmenu.h"

#include "soundsettings.h"
#include "toolbar.h"

#include <QAction>
#include <QEvent>
#include <QMenu>
#include <QMenuBar>
#include <QToolButton>

PlaybackMenu::PlaybackMenu(QMenuBar *host, Toolbar *toolbar, QObject *parent) : QObject(parent)
{
    popup = new QMenu(QStringLiteral("P&layback"), host);
    popup->setObjectName(QStringLiteral("playbackMenu"));
    addTransport(toolbar);
    popup->addSeparator();
    add(Entry::KeyUp, QStringLiteral("Key &Up"),
        {QKeySequence(Qt::Key_Plus), QKeySequence(Qt::Key_Equal)});
    add(Entry::KeyDown, QStringLiteral("Key &Down"), {QKeySequence(Qt::Key_Minus)});
    add(Entry::OriginalKey, QStringLiteral("&Original Key"), {QKeySequence(Qt::Key_0)});
    add(Entry::VocalReduction, QStringLiteral("Vo&cal Reduction"), {QKeySequence(Qt::Key_V)})
        ->setCheckable(true);
    popup->addSeparator();
    add(Entry::VolumeUp, QStringLiteral("Vo&lume Up"), {QKeySequence(Qt::CTRL | Qt::Key_Up)});
    add(Entry::VolumeDown, QStringLiteral("Volume Do&wn"), {QKeySequence(Qt::CTRL | Qt::Key_Down)});
    add(Entry::Mute, QStringLiteral("&Mute"), {QKeySequence(Qt::Key_M)})->setCheckable(true);
    add(Entry::FullScreen, QStringLiteral("Full Scr&een"), {QKeySequence(Qt::Key_F11)})
        ->setCheckable(true);

    // Before "&Help", or last when the bar has none.
    QAction *help = nullptr;
    for (QAction *entry : host->actions())
        help = entry->text() == QStringLiteral("&Help") ? entry : help;
    host->insertMenu(help, popup);
}

QAction *PlaybackMenu::add(Entry entry, const QString &text, const QList<QKeySequence> &keys)
{
    QAction *action = popup->addAction(text);
    action->setShortcuts(keys);
    actions[size_t(entry)] = action;
    return action;
}

// Each transport entry clicks its button; Play/Pause clicks Pause while the song plays.
void PlaybackMenu::addTransport(Toolbar *toolbar)
{
    const struct
    {
        Entry entry;
        const char *text;
        const char *button;
        QKeySequence key;
    } transport[] = {{Entry::PlayPause, "&Play/Pause", "Play", QKeySequence(Qt::Key_Space)},
                     {Entry::Stop, "&Stop", "Stop", {}},
                     {Entry::Previous, "Pre&vious", "Previous", QKeySequence(Qt::Key_P)},
                     {Entry::Next, "&Next", "Next", QKeySequence(Qt::Key_N)},
                     {Entry::Rewind, "&Rewind", "Rewind", {}},
                     {Entry::FastForward, "&Fast Forward", "FF", {}}};
    for (const auto &[entry, text, name, key] : transport) {
        add(entry, QString::fromLatin1(text),
            key.isEmpty() ? QList<QKeySequence>{} : QList<QKeySequence>{key});
        buttons[size_t(entry)] = toolbar->findChild<QToolButton *>(QLatin1String(name));
        nameKey(buttons[size_t(entry)], key);
        connect(action(entry), &QAction::triggered, this, [this, entry = entry] { click(entry); });
    }
    pauseButton = toolbar->findChild<QToolButton *>(QStringLiteral("Pause"));
    nameKey(pauseButton, QKeySequence(Qt::Key_Space));
    for (const QPointer<QToolButton> &button : buttons) {
        if (button)
            button->installEventFilter(this);
    }
    if (pauseButton)
        pauseButton->installEventFilter(this);
    followButtons();
}

// "Next (N)".
void PlaybackMenu::nameKey(QToolButton *button, const QKeySequence &key)
{
    if (button && !key.isEmpty())
        button->setToolTip(
            QStringLiteral("%1 (%2)").arg(button->text(), key.toString(QKeySequence::NativeText)));
}

bool PlaybackMenu::buttonEnabled(Entry entry) const
{
    const QToolButton *button = buttons[size_t(entry)];
    return button && button->isEnabled();
}

void PlaybackMenu::click(Entry entry)
{
    QToolButton *button = buttons[size_t(entry)];
    if (entry == Entry::PlayPause && pauseButton && pauseButton->isEnabled())
        button = pauseButton;
    if (button)
        button->click(); // a disabled button does nothing
}

void PlaybackMenu::followButtons()
{
    for (Entry entry :
         {Entry::Stop, Entry::Previous, Entry::Next, Entry::Rewind, Entry::FastForward})
        action(entry)->setEnabled(buttonEnabled(entry));
    action(Entry::PlayPause)
        ->setEnabled(buttonEnabled(Entry::PlayPause) || (pauseButton && pauseButton->isEnabled()));
}

bool PlaybackMenu::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::EnabledChange)
        followButtons();
    return QObject::eventFilter(watched, event);
}

void PlaybackMenu::showSound(int key, bool vocalsReduced)
{
    action(Entry::KeyUp)->setEnabled(key < SoundSettings::highestKey);
    action(Entry::KeyDown)->setEnabled(key > SoundSettings::lowestKey);
    action(Entry::OriginalKey)->setEnabled(key != 0);
    action(Entry::VocalReduction)->setChecked(vocalsReduced);
}

void PlaybackMenu::showVolume(int volume, bool muted)
{
    action(Entry::VolumeUp)->setEnabled(volume < SoundSettings::maxVolume);
    action(Entry::VolumeDown)->setEnabled(volume > 0);
    action(Entry::Mute)->setChecked(muted);
}

void PlaybackMenu::showFullScreen(bool on)
{
    action(Entry::FullScreen)->setChecked(on);
}
