#include "librarylink.h"

#include "librarywindow.h"
#include "loudnessnormalisation.h"
#include "menu.h"
#include "playlistwindow.h"

#include <QAction>
#include <QMenu>

LibraryLink::LibraryLink(QMenu *viewMenu, QWidget *window) : QObject(window)
{
    library = new LibraryWindow(LibraryIndex::standardFileName(), window);
    loudness = new LoudnessNormalisation(library->index(), this);
    library->setMeasureLoudness(loudness->enabled());
    viewMenu->addAction(QStringLiteral("&Library"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_L),
                        this, &LibraryLink::toggleWindow);
    // Switched on: the songs not yet measured are measured now, in the background.
    connect(loudness->action(), &QAction::toggled, library, [this](bool on) {
        library->setMeasureLoudness(on);
        if (on)
            library->rescan();
    });
    connect(library, &LibraryWindow::playRequested, this, [](const QString &path) {
        if (Menu *menu = Menu::Instance())
            menu->load(path);
    });
    connect(library, &LibraryWindow::addToPlaylistRequested, this, &LibraryLink::addSongs);
    connect(library, &LibraryWindow::playNextRequested, this, &LibraryLink::playNext);
}

const LibraryIndex &LibraryLink::index() const
{
    return library->index();
}

QAction *LibraryLink::loudnessAction() const
{
    return loudness->action();
}

void LibraryLink::songStarted(const QString &path)
{
    loudness->songStarted(path);
}

void LibraryLink::toggleWindow()
{
    if (library->isVisible() && library->isActiveWindow()) {
        library->hide();
        return;
    }
    library->show();
    library->raise();
    library->activateWindow();
}

void LibraryLink::addSongs(const QStringList &paths)
{
    for (const QString &path : paths)
        PlayListWindow::Instance()->addSong(path);
}

// In reverse, so the songs follow the current one in the order chosen.
void LibraryLink::playNext(const QStringList &paths)
{
    for (auto path = paths.crbegin(); path != paths.crend(); ++path)
        PlayListWindow::Instance()->insertSongAfterCurrent(*path);
}
