#ifndef PLAYLISTTOOLBAR_H
#define PLAYLISTTOOLBAR_H

#include "recursivemutex.h"
#include "singleinstance.h"

#include <QPixmap>
#include <QToolBar>

class AddFilesDialog;
class QMainWindow;
class QPushButton;
class QToolButton;

// The playlist window's editing bar: "Add Files", "Del Songs" and the two arrows that move the
// highlighted song. It never touches the list: it turns presses into add(), del(), up() and
// down(), and the window switches the buttons through the Allow...() slots. Only "Add Files" is
// enabled until a row is highlighted. GUI thread only.
class PlayListToolbar : public QToolBar
{
    Q_OBJECT

public:
    // The toolbar, built on the first call into parent's top dock area and named name; later
    // calls return it unchanged (their arguments may be null).
    static PlayListToolbar *Instance(QMainWindow *parent, const char *name);
    static bool hasAnInstance();

    ~PlayListToolbar() override;

public slots:
    void AllowUp(bool on);
    void AllowDown(bool on);
    void AllowAdd(bool on);
    void AllowDel(bool on);

signals:
    // Songs chosen with "Add Files", in order.
    void add(const QStringList &paths);
    void del();
    void up();
    void down();

private slots:
    void upPressed();
    void downPressed();
    // Shows the add-files dialog, made on the first press and reused (where it was left) after.
    void addPressed();
    void delPressed();

private:
    friend class SingleInstance<PlayListToolbar>;
    static constexpr InstanceRules instanceRules = {"Error in makeing a new playlisttoolbar!"};

    PlayListToolbar(QMainWindow *parent, const char *name);

    QPixmap upIcon;
    QPixmap downIcon;
    QToolButton *downButton = nullptr;
    QToolButton *upButton = nullptr;
    QPushButton *addButton = nullptr;
    QPushButton *delButton = nullptr;
    AddFilesDialog *addDialog = nullptr;
    RecursiveMutex mutex; // guards the buttons' states and addDialog
};

#endif // PLAYLISTTOOLBAR_H
