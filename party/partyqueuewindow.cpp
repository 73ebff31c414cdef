#include "partyqueuewindow.h"

#include "partycontroller.h"
#include "partyqueue.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr int idRole = Qt::UserRole;

QString waitingText(const QDateTime &since)
{
    const qint64 minutes = std::max<qint64>(0, since.secsTo(QDateTime::currentDateTimeUtc()) / 60);
    return minutes < 60 ? QStringLiteral("%1 min").arg(minutes)
                        : QStringLiteral("%1 h %2 min").arg(minutes / 60).arg(minutes % 60);
}

} // namespace

PartyQueueWindow::PartyQueueWindow(PartyController &controller, QWidget *parent)
    : QWidget(parent, Qt::Window), controller(controller), list(new QTreeWidget(this))
{
    setWindowTitle(tr("Party Queue"));
    setObjectName(QStringLiteral("partyQueueWindow"));
    resize(560, 420);
    list->setHeaderLabels({tr("Singer"), tr("Song"), tr("Key"), tr("Waiting")});
    list->setRootIsDecorated(false);
    list->setDragDropMode(QAbstractItemView::InternalMove);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->header()->setSectionResizeMode(1, QHeaderView::Stretch);
    connect(list->model(), &QAbstractItemModel::rowsInserted, this, [this] {
        if (!syncing)
            QTimer::singleShot(0, this, &PartyQueueWindow::takeRowOrder);
    });

    auto *playNow = new QPushButton(tr("&Play Now"), this);
    auto *remove = new QPushButton(tr("&Remove"), this);
    auto *clear = new QPushButton(tr("&Clear Queue"), this);
    connect(playNow, &QPushButton::clicked, this, [this] {
        if (const qint64 id = selectedEntry())
            this->controller.playNow(id);
    });
    connect(remove, &QPushButton::clicked, this, [this] {
        if (const qint64 id = selectedEntry())
            this->controller.queue().remove(id);
    });
    connect(clear, &QPushButton::clicked, this, [this] {
        if (QMessageBox::question(this, tr("Clear Queue"), tr("Remove every request?")) ==
            QMessageBox::Yes)
            this->controller.queue().clear();
    });
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(playNow);
    buttons->addWidget(remove);
    buttons->addStretch();
    buttons->addWidget(clear);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(list);
    layout->addLayout(buttons);

    connect(&controller.queue(), &PartyQueue::changed, this, &PartyQueueWindow::rebuild);
    auto *clock = new QTimer(this);
    clock->start(30000);
    connect(clock, &QTimer::timeout, this, &PartyQueueWindow::rebuild);
    rebuild();
}

void PartyQueueWindow::rebuild()
{
    if (syncing)
        return;
    syncing = true;
    const qint64 selected = selectedEntry();
    list->clear();
    for (const PartyEntry &entry : controller.queue().entries()) {
        // Plain item texts: no markup is ever read from them.
        auto *item = new QTreeWidgetItem(
            list, {entry.singer, entry.artist.isEmpty() ? entry.title
                                                        : entry.title + QStringLiteral(" \u2014 ") + entry.artist,
                   entry.key == 0 ? QString() : QString::asprintf("%+d", entry.key),
                   waitingText(entry.queuedAt)});
        item->setData(0, idRole, entry.id);
        item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsDragEnabled);
        if (entry.id == selected)
            item->setSelected(true);
    }
    syncing = false;
}

void PartyQueueWindow::takeRowOrder()
{
    syncing = true;
    for (int row = 0; row < list->topLevelItemCount(); ++row)
        controller.queue().move(list->topLevelItem(row)->data(0, idRole).toLongLong(), row);
    syncing = false;
    rebuild();
}

qint64 PartyQueueWindow::selectedEntry() const
{
    const auto items = list->selectedItems();
    return items.isEmpty() ? 0 : items.constFirst()->data(0, idRole).toLongLong();
}
