#include "librarywindow.h"

#include "libraryscanthread.h"
#include "songtablemodel.h"

#include <QApplication>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QVBoxLayout>

namespace {
constexpr qint64 rescanInterval = 60 * 1000; // ms between rescans on activation
} // namespace

LibraryWindow::LibraryWindow(const QString &databaseFile, QWidget *parent)
    : QWidget(parent, Qt::Window), library(databaseFile)
{
    setWindowTitle(QStringLiteral("Library"));
    setObjectName(QStringLiteral("libraryWindow"));
    resize(760, 520);
    scanThread = new LibraryScanThread(databaseFile, this);
    connect(scanThread, &LibraryScanThread::progress, this, &LibraryWindow::scanProgress);
    connect(scanThread, &LibraryScanThread::scanFinished, this, &LibraryWindow::scanFinished);
    connect(scanThread, &QThread::finished, this, [this] {
        if (rescanWhenDone) {
            rescanWhenDone = false;
            rescan();
        }
    });
    auto *layout = new QVBoxLayout(this);
    buildFolderRow();
    buildResults();
    progressBar = new QProgressBar(this);
    progressBar->setVisible(false);
    statusLabel = new QLabel(this);
    auto *statusRow = new QHBoxLayout;
    statusRow->addWidget(statusLabel, 1);
    statusRow->addWidget(progressBar, 1);
    layout->addWidget(folderList->parentWidget());
    layout->addWidget(searchField);
    layout->addWidget(table, 1);
    layout->addLayout(statusRow);
    searchTimer.setSingleShot(true);
    searchTimer.setInterval(0); // one search for keys typed within one pass
    connect(&searchTimer, &QTimer::timeout, this, &LibraryWindow::runSearch);
    connect(qApp, &QGuiApplication::applicationStateChanged, this,
            &LibraryWindow::applicationStateChanged);
    showFolders();
}

LibraryWindow::~LibraryWindow() = default;

void LibraryWindow::buildFolderRow()
{
    auto *row = new QWidget(this);
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    folderList = new QListWidget(row);
    folderList->setMaximumHeight(90);
    auto *buttons = new QVBoxLayout;
    addButton = new QPushButton(QStringLiteral("&Add Folder..."), row);
    removeButton = new QPushButton(QStringLiteral("&Remove Folder"), row);
    rescanButton = new QPushButton(QStringLiteral("Re&scan"), row);
    for (QPushButton *button : {addButton, removeButton, rescanButton})
        buttons->addWidget(button);
    layout->addWidget(folderList, 1);
    layout->addLayout(buttons);
    connect(addButton, &QPushButton::clicked, this, &LibraryWindow::chooseFolder);
    connect(removeButton, &QPushButton::clicked, this, &LibraryWindow::removeChosenFolder);
    connect(rescanButton, &QPushButton::clicked, this, &LibraryWindow::rescan);
}

void LibraryWindow::buildResults()
{
    searchField = new QLineEdit(this);
    searchField->setPlaceholderText(QStringLiteral("Search title, artist, album or file name"));
    searchField->setClearButtonEnabled(true);
    connect(searchField, &QLineEdit::textChanged, this, [this] { searchTimer.start(); });
    // Return in the search field plays the first song shown.
    connect(searchField, &QLineEdit::returnPressed, this, [this] {
        runSearch();
        if (sorted->rowCount() > 0)
            emit playRequested(model->song(sorted->mapToSource(sorted->index(0, 0)).row()).path);
    });
    model = new SongTableModel(this);
    sorted = new QSortFilterProxyModel(this);
    sorted->setSourceModel(model);
    sorted->setSortRole(Qt::UserRole);
    table = new QTableView(this);
    table->setModel(sorted);
    table->setSortingEnabled(true);
    table->sortByColumn(SongTableModel::Title, Qt::AscendingOrder);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setDragEnabled(true);
    table->setDragDropMode(QAbstractItemView::DragOnly);
    table->verticalHeader()->setVisible(false);
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 6);
    QHeaderView *header = table->horizontalHeader();
    header->setSectionResizeMode(SongTableModel::Title, QHeaderView::Stretch);
    header->resizeSection(SongTableModel::Artist, 180);
    header->resizeSection(SongTableModel::Album, 160);
    for (int mark : {SongTableModel::Length, SongTableModel::Lyrics, SongTableModel::Graphics})
        header->resizeSection(mark, header->fontMetrics().horizontalAdvance(QStringLiteral("Lyrics")) + 24);
    table->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(table, &QTableView::activated, this, [this](const QModelIndex &index) {
        emit playRequested(model->song(sorted->mapToSource(index).row()).path);
    });
    connect(table, &QTableView::customContextMenuRequested, this, &LibraryWindow::showContextMenu);
}

bool LibraryWindow::scanning() const
{
    return scanThread->isRunning();
}

void LibraryWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    searchField->setFocus();
    runSearch();
    if (!sinceScan.isValid())
        rescan();
}

// Down in the search field moves into the results.
void LibraryWindow::keyPressEvent(QKeyEvent *event)
{
    if (searchField->hasFocus() && event->key() == Qt::Key_Down && sorted->rowCount() > 0) {
        table->setFocus();
        table->setCurrentIndex(sorted->index(0, 0));
        table->selectRow(0);
        return;
    }
    QWidget::keyPressEvent(event);
}

void LibraryWindow::chooseFolder()
{
    const QString folder = QFileDialog::getExistingDirectory(this, QStringLiteral("Add Folder"));
    if (!folder.isEmpty())
        addFolder(folder);
}

void LibraryWindow::addFolder(const QString &folder)
{
    if (library.addFolder(folder))
        showFolders();
    rescan();
}

void LibraryWindow::removeChosenFolder()
{
    if (QListWidgetItem *item = folderList->currentItem())
        removeFolder(item->text());
}

void LibraryWindow::removeFolder(const QString &folder)
{
    library.removeFolder(folder); // its songs go now
    if (scanning()) {
        // The running scan may bring some back: it stops, and a scan of the folders left follows.
        scanThread->cancel();
        rescanWhenDone = true;
    }
    showFolders();
    runSearch();
    emit libraryChanged();
}

void LibraryWindow::showFolders()
{
    folderList->clear();
    folderList->addItems(library.folders());
}

void LibraryWindow::rescan()
{
    const QStringList folders = library.folders();
    if (scanning())
        rescanWhenDone = true; // the folders may have changed since it began
    if (folders.isEmpty() || !scanThread->startScan(folders, measureLoudness))
        return;
    sinceScan.start();
    progressBar->setRange(0, 0);
    progressBar->setVisible(true);
    statusLabel->setText(QStringLiteral("Scanning..."));
}

void LibraryWindow::setSearchText(const QString &words)
{
    searchField->setText(words);
    runSearch();
}

void LibraryWindow::runSearch()
{
    searchTimer.stop();
    model->setSongs(library.search(searchField->text(), resultLimit));
    if (!scanning())
        statusLabel->setText((model->rowCount() == 1 ? QStringLiteral("1 song found") : QStringLiteral("%1 songs found").arg(model->rowCount())));
}

QStringList LibraryWindow::selectedPaths() const
{
    QStringList paths;
    QModelIndexList rows = table->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex &a, const QModelIndex &b) { return a.row() < b.row(); });
    for (const QModelIndex &index : std::as_const(rows))
        paths << model->song(sorted->mapToSource(index).row()).path;
    return paths;
}

void LibraryWindow::showContextMenu(const QPoint &position)
{
    const QStringList paths = selectedPaths();
    if (paths.isEmpty())
        return;
    QMenu menu(this);
    menu.addAction(QStringLiteral("Play &Now"), this, [this, paths] { emit playRequested(paths.first()); });
    menu.addAction(QStringLiteral("Play Ne&xt"), this, [this, paths] { emit playNextRequested(paths); });
    menu.addAction(QStringLiteral("&Add to Playlist"), this,
                   [this, paths] { emit addToPlaylistRequested(paths); });
    menu.exec(table->viewport()->mapToGlobal(position));
}

void LibraryWindow::scanProgress(bool measuring, int done, int total)
{
    progressBar->setRange(0, total);
    progressBar->setValue(done);
    statusLabel->setText(measuring ? QStringLiteral("Measuring loudness %1 of %2").arg(done).arg(total)
                                   : QStringLiteral("Reading %1 of %2 files").arg(done).arg(total));
}

void LibraryWindow::scanFinished(const QString &summary, int, bool rebuilt)
{
    if (rebuilt)
        library.reopen();
    progressBar->setVisible(false);
    runSearch();
    statusLabel->setText(summary);
    emit libraryChanged();
}

void LibraryWindow::applicationStateChanged(Qt::ApplicationState state)
{
    if (state == Qt::ApplicationActive && (!sinceScan.isValid() || sinceScan.elapsed() > rescanInterval))
        rescan();
}
