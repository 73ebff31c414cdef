#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include "singleinstance.h"

#include <QMainWindow>
#include <QRecursiveMutex>

// The player's main window, the one top-level window the program starts with. It builds nothing
// of its own yet: the lyrics display, menu bar, transport toolbar and playlist join it later.
// Called on the GUI thread.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    static MainWindow *Instance();
    static bool hasAnInstance();

    ~MainWindow() override;

private:
    friend class SingleInstance<MainWindow>;
    static constexpr InstanceRules instanceRules = {
        "Was unable to allocate the main application window!", nullptr, nullptr,
        "Asked for instance without have mutex for MainWindow"};

    explicit MainWindow(QWidget *parent = nullptr);

    QRecursiveMutex mutex;
};

#endif // MAINWINDOW_H
