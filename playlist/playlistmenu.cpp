#include "playlistmenu.h"

#include "karaokefiles.h"
#include "m3ureader.h"
#include "preferences.h"

#include <QFileDialog>
#include <QMenu>

PlayListMenu *PlayListMenu::Instance(QMenuBar *hostMenuBar)
{
    return SingleInstance<PlayListMenu>::obtain(instanceRules, hostMenuBar);
}

PlayListMenu *PlayListMenu::Instance()
{
    return SingleInstance<PlayListMenu>::existing(instanceRules);
}

bool PlayListMenu::hasAnInstance()
{
    return SingleInstance<PlayListMenu>::hasAnInstance(instanceRules);
}

PlayListMenu::PlayListMenu(QMenuBar *hostMenuBar)
    : QMenuBar(nullptr), hostMenuBar(hostMenuBar)
{
    fileMenu = new QMenu(QStringLiteral("&File"), hostMenuBar);
    preferencesMenu = new QMenu(QStringLiteral("&Preferences"), hostMenuBar);
    openAction = fileMenu->addAction(QStringLiteral("&Open"), QKeySequence(Qt::CTRL | Qt::Key_O),
                                     this, qOverload<>(&PlayListMenu::open));
    saveAction = fileMenu->addAction(QStringLiteral("&Save"), QKeySequence(Qt::CTRL | Qt::Key_S),
                                     this, qOverload<>(&PlayListMenu::save));
    repeatAction = preferencesMenu->addAction(
        QStringLiteral("&Repeat"), QKeySequence(Qt::CTRL | Qt::Key_R), this, &PlayListMenu::repeat);
    repeatAction->setCheckable(true);
    if (hostMenuBar) {
        hostMenuBar->addMenu(fileMenu);
        hostMenuBar->addMenu(preferencesMenu);
    }
    repeatAction->setChecked(Preferences::Instance()->repeatPlaylist());
}

PlayListMenu::~PlayListMenu()
{
    SingleInstance<PlayListMenu>::DestructorLock classLock(this); // guards the instance pointer
    QMutexLocker locker(&mutex); // guards the menus and dialogs while they go
    delete fileMenu;
    delete saveDialog;
    saveDialog = nullptr;
    delete openDialog;
    openDialog = nullptr;
    delete preferencesMenu;
}

QFileDialog *PlayListMenu::makeDialog(const QString &name, const QString &filter)
{
    auto *dialog =
        new QFileDialog(this, QString(), Preferences::Instance()->lastDirectory(), filter);
    dialog->setObjectName(name);
    dialog->setModal(true);
    return dialog;
}

void PlayListMenu::save()
{
    QMutexLocker locker(&mutex); // guards saveDialog; held while the modal dialog runs
    if (!saveDialog) {
        saveDialog = makeDialog(QStringLiteral("PlayListMenuSavePlayListDialog"),
                                QStringLiteral("*.playlist"));
        // New names are allowed; an existing file is replaced only after asking.
        saveDialog->setAcceptMode(QFileDialog::AcceptSave);
        connect(saveDialog, &QFileDialog::fileSelected, this,
                qOverload<const QString &>(&PlayListMenu::save));
    }
    saveDialog->exec();
}

void PlayListMenu::save(const QString &path)
{
    QMutexLocker locker(&mutex); // guards saveDialog
    emit savefile(path);
    saveDialog->hide();
}

void PlayListMenu::open()
{
    QMutexLocker locker(&mutex); // guards openDialog; held while the modal dialog runs
    if (!openDialog) {
        // Patterns are separated by blanks in the toolkit's filters. M3U lists of other
        // players are a second choice after our own files.
        openDialog = makeDialog(QStringLiteral("PlayListMenuOpenFileDialog"),
                                QStringLiteral("*.mp3 *.playlist"));
        openDialog->setNameFilters({QStringLiteral("*.mp3 *.playlist"), M3uReader::nameFilter(),
                                    KaraokeFiles::nameFilter()});
        openDialog->setFileMode(QFileDialog::ExistingFile);
        connect(openDialog, &QFileDialog::fileSelected, this,
                qOverload<const QString &>(&PlayListMenu::open));
    }
    openDialog->exec();
}

void PlayListMenu::open(const QString &path)
{
    QMutexLocker locker(&mutex); // guards openDialog
    emit openfile(path);
    openDialog->hide();
}

void PlayListMenu::repeat()
{
    QMutexLocker locker(&mutex); // guards the repeat item
    Preferences *preferences = Preferences::Instance();
    const bool repeatOn = !preferences->repeatPlaylist();
    preferences->setRepeatPlaylist(repeatOn);
    repeatAction->setChecked(repeatOn);
    emit repeatchanged();
}
