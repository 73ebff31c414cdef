#ifndef TERMINATIONSIGNALS_H
#define TERMINATIONSIGNALS_H

#include <QObject>

class QSocketNotifier;

// Turns the requests to end the program that arrive as POSIX signals (SIGTERM at logout or from
// kill, SIGINT from a terminal, SIGHUP when the terminal goes away) into a Qt signal on the GUI
// thread, so the player can end through its own shut-down: the engine stops, the preferences stay
// as written and the screen saver is given back. One object at a time; while it exists it owns
// the three signals' handlers, and its destruction puts the default ones back.
class TerminationSignals : public QObject
{
    Q_OBJECT

public:
    explicit TerminationSignals(QObject *parent = nullptr);
    ~TerminationSignals() override;

signals:
    void terminationRequested();

private:
    void readRequest();

    QSocketNotifier *notifier = nullptr;
};

#endif
