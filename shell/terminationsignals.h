#ifndef TERMINATIONSIGNALS_H
#define TERMINATIONSIGNALS_H

#include <QObject>

class QSocketNotifier;

// Turns the requests to end the program that arrive as POSIX signals (SIGTERM at logout or from
// kill, SIGINT from a terminal, SIGHUP when the terminal goes away) into a Qt signal on the GUI
// thread, so the player ends as if its window had been closed: the engine stops, the preferences
// stay as written and the screen saver is given back. One object at a time; while it exists it
// owns the three signals' handlers, and its destruction puts the default ones back.
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
