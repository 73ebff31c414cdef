#include "playlisttoolbar.h"

#include "addfilesdialog.h"
#include "karaokefiles.h"
#include "preferences.h"

#include <QMainWindow>
#include <QPushButton>
#include <QToolButton>

namespace {

// 16 x 16, shapes centred in columns 2 to 13.
const char *const upArrow[] = {
    "16 16 2 1",
    "  c None",
    ". c #000000",
    "                ",
    "                ",
    "       ..       ",
    "      ....      ",
    "     ......     ",
    "    ........    ",
    "   ..........   ",
    "  ............  ",
    "  ............  ",
    "  ............  ",
    "  ............  ",
    "  ............  ",
    "                ",
    "                ",
    "                ",
    "                "};

const char *const downArrow[] = {
    "16 16 2 1",
    "  c None",
    ". c #000000",
    "                ",
    "                ",
    "                ",
    "                ",
    "  ............  ",
    "  ............  ",
    "  ............  ",
    "   ..........   ",
    "    ........    ",
    "     ......     ",
    "      ....      ",
    "       ..       ",
    "                ",
    "                ",
    "                ",
    "                "};

QToolButton *arrowButton(QToolBar *bar, const QPixmap &icon, const QString &text,
                         const QString &name)
{
    auto *button = new QToolButton(bar);
    button->setIcon(icon);
    button->setText(text);
    button->setToolTip(text);
    button->setObjectName(name);
    return button;
}

} // namespace

PlayListToolbar *PlayListToolbar::Instance(QMainWindow *parent, const char *name)
{
    return SingleInstance<PlayListToolbar>::obtain(instanceRules, parent, name);
}

bool PlayListToolbar::hasAnInstance()
{
    return SingleInstance<PlayListToolbar>::hasAnInstance(instanceRules);
}

PlayListToolbar::PlayListToolbar(QMainWindow *parent, const char *name)
    : QToolBar(parent), upIcon(upArrow), downIcon(downArrow)
{
    setObjectName(QLatin1String(name));
    if (parent)
        parent->addToolBar(Qt::TopToolBarArea, this);
    addButton = new QPushButton(QStringLiteral("Add Files"), this);
    delButton = new QPushButton(QStringLiteral("Del Songs"), this);
    connect(addButton, &QPushButton::clicked, this, qOverload<>(&PlayListToolbar::addPressed));
    connect(delButton, &QPushButton::clicked, this, &PlayListToolbar::delPressed);
    upButton = arrowButton(this, upIcon, QStringLiteral("Up"), QStringLiteral("Move Song Up"));
    downButton =
        arrowButton(this, downIcon, QStringLiteral("Down"), QStringLiteral("Move Song Down"));
    connect(upButton, &QToolButton::clicked, this, &PlayListToolbar::upPressed);
    connect(downButton, &QToolButton::clicked, this, &PlayListToolbar::downPressed);
    addWidget(addButton);
    addWidget(delButton);
    addWidget(upButton);
    addWidget(downButton);
    AllowUp(false);
    AllowDel(false);
    AllowAdd(true);
    AllowDown(false);
}

PlayListToolbar::~PlayListToolbar()
{
    SingleInstance<PlayListToolbar>::DestructorLock classLock(this); // guards the instance pointer
    QMutexLocker locker(&mutex); // guards the buttons and the dialog while they go
    delete addDialog;
    addDialog = nullptr;
}

void PlayListToolbar::AllowUp(bool on)
{
    QMutexLocker locker(&mutex); // guards the buttons' states
    upButton->setEnabled(on);
}

void PlayListToolbar::AllowDown(bool on)
{
    QMutexLocker locker(&mutex); // guards the buttons' states
    downButton->setEnabled(on);
}

void PlayListToolbar::AllowAdd(bool on)
{
    QMutexLocker locker(&mutex); // guards the buttons' states
    addButton->setEnabled(on);
}

void PlayListToolbar::AllowDel(bool on)
{
    QMutexLocker locker(&mutex); // guards the buttons' states
    delButton->setEnabled(on);
}

void PlayListToolbar::upPressed()
{
    emit up();
}

void PlayListToolbar::downPressed()
{
    emit down();
}

void PlayListToolbar::delPressed()
{
    emit del();
}

void PlayListToolbar::addPressed()
{
    QMutexLocker locker(&mutex); // guards addDialog; held while the modal dialog runs
    if (!addDialog) {
        addDialog = new AddFilesDialog(this, Preferences::Instance()->lastDirectory());
        addDialog->setObjectName(QStringLiteral("PlayListToolbarAddFileDialog"));
        addDialog->setNameFilters({QStringLiteral("*.mp3"), KaraokeFiles::nameFilter()});
        addDialog->setModal(true);
        connect(addDialog, &AddFilesDialog::songsChosen, this, &PlayListToolbar::add);
    }
    addDialog->exec();
}
