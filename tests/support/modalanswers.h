#ifndef MODALANSWERS_H
#define MODALANSWERS_H

#include <QObject>
#include <QStringList>
#include <QTimer>

class QWidget;

// Answers the modal windows as they come up, topmost first: each step names a window by its
// object name and says what to do there. Any other modal window is cancelled and noted.
//
//   Answers answers({"MainWindowLoadFile=choose:/tmp/a.mp3", "Please select Background Color=cancel"});
//
// Actions: yes, no, ok (message boxes), cancel (any window), accept, choose:FILE (file dialogs,
// typed into the name field), color:#rrggbb (colour dialogs), font:FAMILY,POINTS (font dialogs).
class Answers : public QObject
{
public:
    explicit Answers(const QStringList &steps);

    QStringList steps;      // what is still to be answered
    QStringList unexpected; // object names of windows nobody asked for
    QStringList texts;      // "caption|text" of every message box answered
    QList<QWidget *> seen;  // every window answered

private:
    void poll();
    void answer(QWidget *modal, const QString &action);

    bool answering = false;
    QWidget *suspect = nullptr;
    QTimer timer;
};

#endif
