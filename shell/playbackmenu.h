#ifndef PLAYBACKMENU_H
#define PLAYBACKMENU_H

#include <QObject>
#include <QPointer>

#include <array>

class QAction;
class QKeySequence;
class QMenu;
class QMenuBar;
class QToolButton;
class Toolbar;

// The "P&layback" menu of the main window's menu bar, before its "&Help" menu: the transport,
// the key and vocals, the volume and full screen, each entry with its key. The transport entries
// click the play control toolbar's buttons and are enabled exactly while those are, and the
// buttons' tool tips name the keys ("Next (N)"); the other
// entries are wired by their owner, who reports the state with the show...() slots. Later entries
// go into menu(). GUI thread only.
class PlaybackMenu : public QObject
{
    Q_OBJECT

public:
    enum class Entry
    {
        PlayPause, // Space
        Stop,
        Previous, // P
        Next,     // N
        Rewind,
        FastForward,
        KeyUp,          // + (and =)
        KeyDown,        // -
        OriginalKey,    // 0
        VocalReduction, // V, checkable
        VolumeUp,       // Ctrl+Up
        VolumeDown,     // Ctrl+Down
        Mute,           // M, checkable
        FullScreen,     // F11, checkable
        Count
    };

    // Builds the menu into host, steering toolbar's buttons; a child of parent.
    PlaybackMenu(QMenuBar *host, Toolbar *toolbar, QObject *parent);

    QMenu *menu() const { return popup; }
    QAction *action(Entry entry) const { return actions[size_t(entry)]; }

public slots:
    // Key Up, Key Down and Original Key enabled where they can move the key; the vocals' check.
    void showSound(int key, bool vocalsReduced);
    // Volume Up and Down enabled short of the ends; the mute check.
    void showVolume(int volume, bool muted);
    void showFullScreen(bool on);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QAction *add(Entry entry, const QString &text, const QList<QKeySequence> &keys = {});
    void addTransport(Toolbar *toolbar);
    // Enables the transport entries as their buttons are.
    void followButtons();
    static void nameKey(QToolButton *button, const QKeySequence &key);
    bool buttonEnabled(Entry entry) const;
    void click(Entry entry);

    QPointer<QMenu> popup; // a child of the host menu bar
    std::array<QAction *, size_t(Entry::Count)> actions{};
    // The buttons of the transport's entries; Play/Pause has Play here and Pause beside.
    std::array<QPointer<QToolButton>, size_t(Entry::Count)> buttons{};
    QPointer<QToolButton> pauseButton;
};

#endif // PLAYBACKMENU_H
