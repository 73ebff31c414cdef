#ifndef PARTYDIALOG_H
#define PARTYDIALOG_H

#include <QDialog>

class PartyController;
class PartyQueueWindow;
class QLabel;

// "Party Mode": turns the party on and off, shows the QR code and address phones join with,
// renews the key, sets auto-advance and the corner badge, and opens the queue window.
// GUI thread only.
class PartyDialog : public QDialog
{
    Q_OBJECT

public:
    explicit PartyDialog(PartyController &controller, QWidget *parent = nullptr);

    // The queue window, made on first use.
    PartyQueueWindow *queueWindow();

private:
    void refresh();

    PartyController &controller;
    QLabel *code = nullptr;
    QLabel *address = nullptr;
    PartyQueueWindow *queueView = nullptr;
};

#endif // PARTYDIALOG_H
