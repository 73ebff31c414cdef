#ifndef PARTYQUEUEWINDOW_H
#define PARTYQUEUEWINDOW_H

#include <QWidget>

class PartyController;
class QTreeWidget;

// The host's view of the party queue: singer, song, key and waiting time of every request, in
// singing order. Dragging a row reorders the queue; Remove, Play Now and Clear act on it.
// GUI thread only.
class PartyQueueWindow : public QWidget
{
    Q_OBJECT

public:
    explicit PartyQueueWindow(PartyController &controller, QWidget *parent = nullptr);

private:
    void rebuild();
    // The rows after a drag become the queue's order.
    void takeRowOrder();
    qint64 selectedEntry() const;

    PartyController &controller;
    QTreeWidget *list = nullptr;
    bool syncing = false;
};

#endif // PARTYQUEUEWINDOW_H
