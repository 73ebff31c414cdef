#ifndef MENU_H
#define MENU_H

#include "recursivemutex.h"
#include "singleinstance.h"

#include <QMenuBar>

class QAction;
class QColor;
class QFileDialog;
class QMenu;
class Preferences;

// The main window's menus: load, quit, the playlist window, the lyrics font and colours, the
// advanced settings and the about box. A menu bar of its own that is never shown: it fills the
// main window's bar (the host) and stores every choice in the preferences. One per run. GUI
// thread only.
class Menu : public QMenuBar
{
    Q_OBJECT

public:
    // The menu for host, built on first call; null (with a warning) when it cannot be made.
    static Menu *Instance(QMenuBar *host);
    // The existing menu, or null with a warning.
    static Menu *Instance();
    static bool hasAnInstance();

    ~Menu() override;

    // The "&View" menu, for entries of other parts.
    QMenu *view() const { return viewMenu; }

public slots:
    // Toggles the playlist window, its stored visibility and the "&Playlist" check mark.
    void playlist();
    // Remembers path's folder and path, and opens path in the playlist window; "" does nothing.
    void load(const QString &path);

signals:
    // After every font or colour choice, also a cancelled one.
    void PreferencesChanged();
    void advancedcontrolls();

private slots:
    void load();
    void font();
    void norm();
    void high();
    void back();
    void advanced();
    void about();

private:
    friend class SingleInstance<Menu>;
    static constexpr InstanceRules instanceRules = {
        "Unable to generate the menu!",
        "Did not have an instance for MENU! Nor was info to build one provided!", nullptr,
        "Asked for instance information without MenuInstanceMUTEX!"};

    explicit Menu(QMenuBar *host);

    void chooseColor(QColor (Preferences::*get)() const, void (Preferences::*set)(const QColor &),
                     const QString &which);
    QColor colorSelector(const QColor &initial, const QString &which);

    RecursiveMutex mutex;
    QMenuBar *hostMenuBar = nullptr;
    QMenu *fileMenu = nullptr;
    QMenu *viewMenu = nullptr;
    QMenu *preferencesMenu = nullptr;
    QMenu *helpMenu = nullptr;
    QFileDialog *loadDialog = nullptr;
    // The nine entries (Qt's menus keep actions where ids were once kept).
    QAction *loadId = nullptr;
    QAction *quitId = nullptr;
    QAction *playlistId = nullptr;
    QAction *fontId = nullptr;
    QAction *normalColorId = nullptr;
    QAction *highlightColorId = nullptr;
    QAction *backgroundColorId = nullptr;
    QAction *advancedId = nullptr;
    QAction *aboutId = nullptr;
};

#endif
