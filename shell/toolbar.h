#ifndef TOOLBAR_H
#define TOOLBAR_H

#include "recursivemutex.h"
#include "singleinstance.h"

#include <QPixmap>
#include <QToolBar>

class QMainWindow;
class QToolButton;

// The play control toolbar: seven transport buttons at the top of the main window. It holds no
// playback logic: a click only emits the button's signal, and whoever knows the state (the
// engine, the main window) enables the buttons through the Allow...() slots. Every button starts
// disabled. GUI thread only.
class Toolbar : public QToolBar
{
    Q_OBJECT

public:
    // The toolbar, built on first call and docked at the top of parent; later calls (also with
    // null arguments) return it unchanged.
    static Toolbar *Instance(QMainWindow *parent, const char *name);
    static bool hasAnInstance();

    ~Toolbar() override;

public slots:
    void AllowPrevious(bool on);
    void AllowRewind(bool on);
    void AllowPlay(bool on);
    void AllowStop(bool on);
    void AllowPause(bool on);
    void AllowFF(bool on);
    void AllowNext(bool on);

signals:
    void PreviousButtonPressed();
    void RewindButtonPressed();
    void PlayButtonPressed();
    void PauseButtonPressed();
    void StopButtonPressed();
    void FastForwardButtonPressed();
    void NextButtonPressed();

private slots:
    void previousPressed();
    void rewindPressed();
    void playPressed();
    void pausePressed();
    void stopPressed();
    void ffPressed();
    void nextPressed();

private:
    friend class SingleInstance<Toolbar>;
    static constexpr InstanceRules instanceRules = {"Error in makeing a new toolbar!"};

    Toolbar(QMainWindow *parent, const char *name);

    QToolButton *makeButton(const QPixmap &icon, const QString &label, void (Toolbar::*pressed)());
    void allow(QToolButton *button, bool on);

    QPixmap previousIcon;
    QPixmap rewindIcon;
    QPixmap playIcon;
    QPixmap stopIcon;
    QPixmap pauseIcon;
    QPixmap ffIcon;
    QPixmap nextIcon;

    // Children of the toolbar; the destructor deletes them under the locks.
    QToolButton *previousButton = nullptr;
    QToolButton *rewindButton = nullptr;
    QToolButton *playButton = nullptr;
    QToolButton *stopButton = nullptr;
    QToolButton *pauseButton = nullptr;
    QToolButton *ffButton = nullptr;
    QToolButton *nextButton = nullptr;

    RecursiveMutex mutex; // guards the buttons' enabled state
};

#endif // TOOLBAR_H
