#include "playlistwindow.h"

#include "m3ureader.h"
#include "playlistfile.h"
#include "playlistmenu.h"
#include "playlisttoolbar.h"
#include "preferences.h"
#include "regularfile.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QListWidget>
#include <QMessageBox>
#include <QMimeData>
#include <QSet>
#include <QUrl>

namespace {

const QString playingPrefix = QStringLiteral("*PLAYING* ");
// As wide as the marker was meant to be: nineteen blanks, not ten.
const QString otherPrefix = QString(19, QLatin1Char(' '));

// A modal box the tests (and accessibility tools) can find by its object name.
int showBox(QWidget *parent, QMessageBox::Icon icon, const QString &name, const QString &caption,
            const QString &text, QMessageBox::StandardButtons buttons = QMessageBox::Ok)
{
    QMessageBox box(icon, caption, text, buttons, parent);
    box.setObjectName(name);
    if (QAbstractButton *ok = box.button(QMessageBox::Ok))
        ok->setText(QStringLiteral("Ok"));
    return box.exec();
}

// Up to and including the last "/"; empty without one.
QString directoryOf(const QString &path)
{
    return path.left(path.lastIndexOf(QLatin1Char('/')) + 1);
}

} // namespace

PlayListWindow *PlayListWindow::Instance()
{
    return SingleInstance<PlayListWindow>::obtain(instanceRules);
}

bool PlayListWindow::hasAnInstance()
{
    return SingleInstance<PlayListWindow>::hasAnInstance(instanceRules);
}

PlayListWindow::PlayListWindow() : QMainWindow(nullptr)
{
    QMutexLocker locker(&mutex); // guards the fields while they are first filled
    listBox = new QListWidget(this);
    listBox->setMinimumSize(220, 60);
    listBox->setUniformItemSizes(true); // one line per row, so long lists lay out at once
    setCentralWidget(listBox);
    setAcceptDrops(true); // the list box leaves drops to the window
    highlightedRow = 0;
    Preferences *preferences = Preferences::Instance();
    resize(preferences->playlistWindowWidth(), preferences->playlistWindowHeight());
    move(preferences->playlistWindowPosition());
    playListMenu = PlayListMenu::Instance(menuBar());
    playListToolbar = PlayListToolbar::Instance(this, "Play List Control Toolbar");
    connectParts();
    changedSinceSave = false;
}

void PlayListWindow::connectParts()
{
    connect(listBox, &QListWidget::currentRowChanged, this,
            &PlayListWindow::playlistListHighlight);
    // Double-click or Return on a row.
    connect(listBox, &QListWidget::activated, this,
            [this](const QModelIndex &index) { playlistListSelected(index.row()); });
    if (playListMenu) {
        connect(playListMenu, &PlayListMenu::savefile, this, &PlayListWindow::playlistMenuSave);
        connect(playListMenu, &PlayListMenu::openfile, this, &PlayListWindow::playlistMenuOpen);
        connect(playListMenu, &PlayListMenu::repeatchanged, this,
                &PlayListWindow::playlistMenuRepeat);
    }
    if (playListToolbar) {
        connect(playListToolbar, &PlayListToolbar::add, this,
                &PlayListWindow::playlistToolbarAdd);
        connect(playListToolbar, &PlayListToolbar::del, this,
                &PlayListWindow::playlistToolbarDel);
        connect(playListToolbar, &PlayListToolbar::up, this, &PlayListWindow::playlistToolbarUp);
        connect(playListToolbar, &PlayListToolbar::down, this,
                &PlayListWindow::playlistToolbarDown);
    }
}

PlayListWindow::~PlayListWindow()
{
    SingleInstance<PlayListWindow>::DestructorLock classLock(this); // guards the instance pointer
    QMutexLocker locker(&mutex); // guards the parts while they go
    delete listBox;
    listBox = nullptr;
    if (PlayListMenu::hasAnInstance())
        delete PlayListMenu::Instance();
    if (PlayListToolbar::hasAnInstance())
        delete PlayListToolbar::Instance(nullptr, nullptr);
}

bool PlayListWindow::openFile(const QString &path)
{
    return open(path, Report::MessageBox);
}

void PlayListWindow::reopenLastFile()
{
    open(Preferences::Instance()->lastFile(), Report::Log);
}

bool PlayListWindow::open(const QString &path, Report report)
{
    QMutexLocker locker(&mutex); // guards the list
    if (path.isEmpty())
        return false;
    QString problem;
    QString failure;
    const PlayListFile::Kind kind = PlayListFile::kindOf(path);
    switch (kind) {
    case PlayListFile::Kind::Song:
        // A missing song is taken (and found unplayable when its turn comes); a pipe or device
        // is not, so that it never becomes the file the next start opens.
        if (RegularFile::isSpecial(path)) {
            failure = RegularFile::notRegularText();
            problem = QLatin1String("Unable to read the song: ") + path + QLatin1Char('\n') +
                      failure;
            break;
        }
        clearList();
        addSong(path);
        changedSinceSave = true;
        break;
    case PlayListFile::Kind::PlayList:
    case PlayListFile::Kind::M3u:
        if (report == Report::MessageBox && !offerToSave())
            return false; // the changed list stays
        // An M3U list is kept only by saving it as a .playlist, which closing then offers.
        if (readPlaylist(path, failure))
            changedSinceSave = kind == PlayListFile::Kind::M3u;
        else
            problem = QLatin1String("Unable to read the playlist file: ") + path +
                      QLatin1Char('\n') + failure;
        break;
    case PlayListFile::Kind::Unknown:
        problem = QLatin1String("The file: ") + path +
                  QLatin1String("has an unknown extension!\nPlease use .mp3 or .playlist files.");
        break;
    }
    if (problem.isEmpty()) {
        showCurrentRow(0);
        emit changed();
    } else if (report == Report::Log) {
        qWarning("%s", qPrintable(problem));
    } else if (failure.isEmpty()) {
        showBox(this, QMessageBox::Warning, QStringLiteral("PlayListUnknownFileTypeBox"),
                QStringLiteral("Unknown file type"), problem);
    } else {
        showBox(this, QMessageBox::Warning, QStringLiteral("PlayListFileErrorBox"),
                QStringLiteral("File ERROR"), problem);
    }
    return problem.isEmpty();
}

bool PlayListWindow::hasCurrentSong() const
{
    QMutexLocker locker(&mutex); // guards the list
    return currentSong >= 0;
}

QString PlayListWindow::currentSongFile() const
{
    QMutexLocker locker(&mutex); // guards the list
    return currentSong >= 0 ? songs.at(currentSong) : QString();
}

bool PlayListWindow::canGoNext() const
{
    QMutexLocker locker(&mutex); // guards the list
    if (songs.isEmpty())
        return false;
    return Preferences::Instance()->repeatPlaylist() || currentSong < songs.size() - 1;
}

bool PlayListWindow::canGoPrevious() const
{
    QMutexLocker locker(&mutex); // guards the list
    if (songs.isEmpty())
        return false;
    return Preferences::Instance()->repeatPlaylist() || currentSong > 0;
}

QString PlayListWindow::nextSong()
{
    QMutexLocker locker(&mutex); // guards the list
    emit changed();
    const bool wraps = Preferences::Instance()->repeatPlaylist();
    if (currentSong < songs.size() - 1)
        ++currentSong;
    else if (wraps && !songs.isEmpty())
        currentSong = 0;
    return currentSongFile();
}

QString PlayListWindow::previousSong()
{
    QMutexLocker locker(&mutex); // guards the list
    emit changed();
    const bool wraps = Preferences::Instance()->repeatPlaylist();
    if (currentSong > 0)
        --currentSong;
    else if (wraps && !songs.isEmpty())
        currentSong = int(songs.size()) - 1;
    return currentSongFile();
}

void PlayListWindow::goNext()
{
    QMutexLocker locker(&mutex); // guards the list
    if (canGoNext()) {
        nextSong();
        refreshList();
        showCurrentRow(currentSong);
    }
    emit changed();
}

void PlayListWindow::goPrevious()
{
    QMutexLocker locker(&mutex); // guards the list
    if (canGoPrevious()) {
        previousSong();
        refreshList();
        showCurrentRow(currentSong);
    }
    emit changed();
}

int PlayListWindow::songCount() const
{
    QMutexLocker locker(&mutex); // guards the list
    return int(songs.size());
}

int PlayListWindow::distinctSongCount() const
{
    QMutexLocker locker(&mutex); // guards the list
    return int(QSet<QString>(songs.cbegin(), songs.cend()).size());
}

void PlayListWindow::clearList()
{
    QMutexLocker locker(&mutex); // guards the list
    emit changed();
    songs.clear();
    currentSong = -1;
    listBox->clear();
}

void PlayListWindow::addSong(const QString &path)
{
    QMutexLocker locker(&mutex); // guards the list
    songs.append(path);
    if (currentSong < 0)
        currentSong = 0;
    listBox->addItem(rowText(int(songs.size()) - 1));
    emit changed();
    changedSinceSave = true;
}

void PlayListWindow::insertSongAfterCurrent(const QString &path)
{
    QMutexLocker locker(&mutex); // guards the list
    const int row = currentSong + 1;
    songs.insert(row, path);
    if (currentSong < 0)
        currentSong = 0;
    listBox->insertItem(row, rowText(row));
    emit changed();
    changedSinceSave = true;
}

void PlayListWindow::moveSongUp(int row)
{
    QMutexLocker locker(&mutex); // guards the list
    if (row <= 0 || row >= songs.size())
        return;
    songs.move(row, row - 1);
    if (currentSong == row)
        currentSong = row - 1;
    else if (currentSong == row - 1)
        currentSong = row;
    refreshList();
    emit changed();
    changedSinceSave = true;
}

void PlayListWindow::moveSongDown(int row)
{
    QMutexLocker locker(&mutex); // guards the list
    if (row < 0 || row >= songs.size() - 1)
        return;
    songs.move(row, row + 1);
    if (currentSong == row)
        currentSong = row + 1;
    else if (currentSong == row + 1)
        currentSong = row;
    refreshList();
    emit changed();
    changedSinceSave = true;
}

void PlayListWindow::removeSong(int row)
{
    QMutexLocker locker(&mutex); // guards the list
    if (row < 0 || row >= songs.size())
        return;
    songs.removeAt(row);
    // The current song stays the same song; when it goes, the one now in its row (or the new
    // last one) takes its place.
    if (currentSong > row || currentSong >= songs.size())
        --currentSong;
    refreshList();
    // The rows below moved up: the buttons follow the row that is highlighted now.
    playlistListHighlight(listBox->currentRow());
    emit changed();
    changedSinceSave = true;
}

void PlayListWindow::refreshList()
{
    QMutexLocker locker(&mutex); // guards the list
    if (songs.isEmpty()) {
        listBox->clear();
        return;
    }
    if (currentSong < 0)
        currentSong = 0;
    // Rows are rewritten in place, so that a step in a long list touches only the two rows whose
    // prefix changes and the list box keeps its highlighted row.
    while (listBox->count() > songs.size())
        delete listBox->takeItem(listBox->count() - 1);
    for (int row = 0; row < songs.size(); ++row) {
        const QString text = rowText(row);
        if (row >= listBox->count())
            listBox->addItem(text);
        else if (listBox->item(row)->text() != text)
            listBox->item(row)->setText(text);
    }
}

QString PlayListWindow::rowText(int row) const
{
    return (row == currentSong ? playingPrefix : otherPrefix) + songs.at(row);
}

void PlayListWindow::showCurrentRow(int row)
{
    highlightedRow = row;
    listBox->setCurrentRow(row);
}

bool PlayListWindow::readPlaylist(const QString &path, QString &failure)
{
    QMutexLocker locker(&mutex); // guards the list
    QStringList read;
    const bool m3u = PlayListFile::kindOf(path) == PlayListFile::Kind::M3u;
    if (!(m3u ? M3uReader::read(path, read, failure) : PlayListFile::read(path, read, failure)))
        return false;
    replaceList(read);
    return true;
}

void PlayListWindow::replaceList(const QStringList &read)
{
    QMutexLocker locker(&mutex); // guards the list
    clearList();
    for (const QString &song : read)
        addSong(song);
    highlightedRow = 0;
}

bool PlayListWindow::writePlaylist(const QString &path, QString &failure)
{
    QMutexLocker locker(&mutex); // guards the list
    if (!PlayListFile::write(path, songs, failure))
        return false;
    Preferences::Instance()->setLastFile(path);
    return true;
}

void PlayListWindow::rememberFile(const QString &path)
{
    Preferences *preferences = Preferences::Instance();
    preferences->setLastDirectory(directoryOf(path));
    preferences->setLastFile(path);
}

void PlayListWindow::playlistMenuSave(const QString &path)
{
    QMutexLocker locker(&mutex); // guards the list and changedSinceSave
    if (path.isEmpty())
        return;
    const QString name = PlayListFile::withSuffix(path);
    QString failure;
    if (writePlaylist(name, failure)) {
        changedSinceSave = false;
        return;
    }
    showBox(this, QMessageBox::Warning, QStringLiteral("PlayListFileErrorBox"),
            QStringLiteral("File ERROR"),
            QLatin1String("Unable to write the playlist file: ") + name + QLatin1Char('\n') +
                failure + QLatin1String("\nThe playlist was not saved."));
}

void PlayListWindow::playlistMenuOpen(const QString &path)
{
    QMutexLocker locker(&mutex); // guards the list
    if (!path.isEmpty() && openFile(path))
        rememberFile(path);
    emit changed();
}

void PlayListWindow::playlistMenuRepeat()
{
    emit changed();
}

void PlayListWindow::playlistToolbarAdd(const QStringList &paths)
{
    QMutexLocker locker(&mutex); // guards the list
    for (const QString &path : paths) {
        if (!path.isEmpty())
            addSong(path);
    }
    if (!paths.isEmpty() && !paths.last().isEmpty())
        rememberFile(paths.last());
    playlistListHighlight(listBox->currentRow());
}

void PlayListWindow::playlistToolbarDel()
{
    QMutexLocker locker(&mutex); // guards the list and highlightedRow
    listBox->setCurrentRow(highlightedRow);
    removeSong(highlightedRow);
}

void PlayListWindow::playlistToolbarUp()
{
    QMutexLocker locker(&mutex); // guards the list and highlightedRow
    const int row = highlightedRow;
    listBox->setCurrentRow(row);
    moveSongUp(row);
    listBox->setCurrentRow(row - 1);
}

void PlayListWindow::playlistToolbarDown()
{
    QMutexLocker locker(&mutex); // guards the list and highlightedRow
    const int row = highlightedRow;
    listBox->setCurrentRow(row);
    moveSongDown(row);
    listBox->setCurrentRow(row + 1);
}

void PlayListWindow::playlistListHighlight(int row)
{
    QMutexLocker locker(&mutex); // guards highlightedRow
    if (!playListToolbar)
        return;
    playListToolbar->AllowDel(songCount() != 0);
    highlightedRow = row;
    playListToolbar->AllowUp(row > 0);
    playListToolbar->AllowDown(row < songCount() - 1);
}

void PlayListWindow::playlistListSelected(int row)
{
    QMutexLocker locker(&mutex); // guards the list
    if (row < 0 || row >= songs.size())
        return;
    currentSong = row;
    refreshList();
    showCurrentRow(currentSong);
    emit changed();
}

// Cancel keeps the window, and the player with it, running.
void PlayListWindow::closeEvent(QCloseEvent *event)
{
    QMutexLocker locker(&mutex); // guards changedSinceSave; held while the prompt runs
    if (!offerToSave()) {
        event->ignore();
        return;
    }
    emit closing();
    event->accept();
}

bool PlayListWindow::offerToSave()
{
    QMutexLocker locker(&mutex); // guards changedSinceSave; held while the prompt runs
    if (!changedSinceSave || !playListMenu)
        return true;
    const int answer = showBox(this, QMessageBox::Information, QStringLiteral("PlayListChangedBox"),
                               QStringLiteral("Playlist Changed"),
                               QStringLiteral("The Playlist has changed do you wish to save?"),
                               QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    if (answer == QMessageBox::Cancel)
        return false;
    if (answer == QMessageBox::Yes)
        playListMenu->save(); // modal: saved (or its failure shown) when this returns
    return true;
}

void PlayListWindow::resizeEvent(QResizeEvent *event)
{
    QMutexLocker locker(&mutex); // guards the window while its size is stored
    QMainWindow::resizeEvent(event);
    Preferences *preferences = Preferences::Instance();
    preferences->setPlaylistWindowWidth(width());
    preferences->setPlaylistWindowHeight(height());
}

void PlayListWindow::moveEvent(QMoveEvent *event)
{
    QMutexLocker locker(&mutex); // guards the window while its place is stored
    QMainWindow::moveEvent(event);
    Preferences::Instance()->setPlaylistWindowPosition(x(), y());
}

QStringList PlayListWindow::openableFiles(const QMimeData *data)
{
    QStringList files;
    if (!data)
        return files;
    for (const QUrl &url : data->urls()) {
        const QString file = url.toLocalFile();
        if (!file.isEmpty() && PlayListFile::kindOf(file) != PlayListFile::Kind::Unknown)
            files << file;
    }
    return files;
}

void PlayListWindow::dragEnterEvent(QDragEnterEvent *event)
{
    if (!openableFiles(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void PlayListWindow::dropEvent(QDropEvent *event)
{
    const QStringList files = openableFiles(event->mimeData());
    if (files.isEmpty())
        return;
    event->acceptProposedAction();
    // After the drop has finished: opening a list may show a box, and the program the files
    // came from waits until the drop returns.
    QMetaObject::invokeMethod(
        this, [this, files] { openDropped(files); }, Qt::QueuedConnection);
}

void PlayListWindow::openDropped(const QStringList &files)
{
    QMutexLocker locker(&mutex); // guards the list
    for (const QString &file : files) {
        if (PlayListFile::kindOf(file) == PlayListFile::Kind::Song)
            playlistToolbarAdd({file});
        else
            playlistMenuOpen(file);
    }
}
