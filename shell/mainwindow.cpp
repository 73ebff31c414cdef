#include "mainwindow.h"

MainWindow *MainWindow::Instance()
{
    return SingleInstance<MainWindow>::obtain(instanceRules);
}

bool MainWindow::hasAnInstance()
{
    return SingleInstance<MainWindow>::hasAnInstance(instanceRules);
}

MainWindow::MainWindow(QWidget *parent) : QMainWindow(parent) {}

MainWindow::~MainWindow()
{
    SingleInstance<MainWindow>::DestructorLock classLock(this); // guards the instance pointer
    QMutexLocker locker(&mutex); // guards the window's own parts while they go
}
