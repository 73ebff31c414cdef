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
    // Opens path in the playlist window and, when it opened, remembers its folder and path;
    // "" does nothing.
    void load(const QString &path);
    // Sets the "Fit &Lyrics to Window" check mark without emitting fitLyricsToggled().
    void setFitLyricsChecked(bool checked);

signals:
    // After every font or colour choice, also a cancelled one.
    void PreferencesChanged();
    void advancedcontrolls();
    // "Fit &Lyrics to Window" was chosen; checked says whether it is now on.
    void fitLyricsToggled(bool checked);
    // "Show CD+G Graphics" or "Smooth CD+G Graphics" was switched (and stored).
    void GraphicsOptionsChanged();

private slots:
    void load();
    void font();
    void norm();
    void high();
    void back();
    void advanced();
    void about();
    void graphicsOptions();

private:
    friend class SingleInstance<Menu>;
    static constexpr InstanceRules instanceRules = {
        "Unable to generate the menu!",
        "Did not have an instance for MENU! Nor was info to build one provided!", nullptr,
        "Asked for instance information without MenuInstanceMUTEX!"};

    explicit Menu(QMenuBar *host);

    void addGraphicsOptions();
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
    QAction *fitLyricsId = nullptr;
    QAction *fontId = nullptr;
    QAction *normalColorId = nullptr;
    QAction *highlightColorId = nullptr;
    QAction *backgroundColorId = nullptr;
    QAction *advancedId = nullptr;
    QAction *aboutId = nullptr;
    QAction *graphicsId = nullptr;       // checkable; the settings' showGraphics
    QAction *smoothGraphicsId = nullptr; // checkable; the settings' smoothGraphics
};

#endif
