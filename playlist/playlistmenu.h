#ifndef PLAYLISTMENU_H
#define PLAYLISTMENU_H

#include "recursivemutex.h"
#include "singleinstance.h"

#include <QMenuBar>
#include <QPointer>

class QAction;
class QFileDialog;
class QMenu;

// The playlist window's menus: "&File" with "&Open" and "&Save", "&Preferences" with the check
// item "&Repeat". The object itself is a menu bar that is never shown: it receives the items and
// sends the signals, while its two menus sit in the window's own menu bar. It owns the two
// reusable file dialogs and never touches the list. GUI thread only.
class PlayListMenu : public QMenuBar
{
    Q_OBJECT

public:
    // The menu, built on the first call into hostMenuBar (not owned).
    static PlayListMenu *Instance(QMenuBar *hostMenuBar);
    static PlayListMenu *Instance();
    static bool hasAnInstance();

    ~PlayListMenu() override;

public slots:
    // Shows the modal save dialog and returns once it is closed; a chosen file has then
    // reached savefile().
    void save();

signals:
    void openfile(const QString &path);
    void savefile(const QString &path);
    void repeatchanged();

private slots:
    void save(const QString &path);
    void open();
    void open(const QString &path);
    // Toggles repeatPlaylist in the preferences and the check mark.
    void repeat();

private:
    friend class SingleInstance<PlayListMenu>;
    static constexpr InstanceRules instanceRules = {
        "Unable to make a new PlayListMenu!",
        "Did not have an instance of PlayListMenu! Nor was info to build one provided!",
        "Instance Called without a MUTEX to lock in PlayListMenu!",
        "hasAnInstance Called without a MUTEX to lock in PlayListMenu!",
        true,
    };

    explicit PlayListMenu(QMenuBar *hostMenuBar);
    // Made on first use with lastDirectory as it is then; reused, where it was left, after.
    QFileDialog *makeDialog(const QString &name, const QString &filter);

    QFileDialog *saveDialog = nullptr;
    RecursiveMutex mutex; // guards the dialogs and the repeat item; held while a dialog runs
    QPointer<QMenuBar> hostMenuBar;
    // Children of hostMenuBar, deleted by this object.
    QPointer<QMenu> fileMenu;
    QPointer<QMenu> preferencesMenu;
    QFileDialog *openDialog = nullptr;
    QAction *saveAction = nullptr;
    QAction *openAction = nullptr;
    QAction *repeatAction = nullptr;
};

#endif // PLAYLISTMENU_H
