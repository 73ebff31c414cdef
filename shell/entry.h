#ifndef ENTRY_H
#define ENTRY_H

#include <QString>

class MainWindow;
class QApplication;

// The process from start to end: the start-up and shut-down order of every long-lived object.
// Everything here runs on the GUI thread.

// Set when a file was named on the command line (after the toolkit took its own options).
extern bool haveCommandLineFile;
// The first command-line argument that is not an option, kept as its bytes (LocalFileName).
extern QString commandLineFile;
// --party was given: the party starts with the player, on commandLinePartyPort when
// --party=PORT gave one (else -1: the stored port).
extern bool commandLineParty;
extern int commandLinePartyPort;

// The whole run: the event loop's result, 1 when the application could not be created, 2 when
// the main window could not be (should the fatal report return).
int runPlayer(int argc, char **argv);

// The application object with the class mutexes and the preferences store, or null after
// tearing down whatever was made. argc must outlive the application. When the command line only
// asks for help or the version (or is mistaken), the answer is printed, nothing else is made and
// *finished is the exit code; otherwise *finished is -1.
QApplication *createApplication(int &argc, char **argv, int *finished = nullptr);
// 0 when every class mutex was made; otherwise the position (1 to 9, in making order) of the
// last one that could not be.
int createClassMutexes();
// Deletes the single instances that remain and every class mutex, in the fixed shut-down order.
void destroyInstances();
// The main window, captioned and shown, or null.
MainWindow *createMainWindow();

// Where the preferences live: VantrelKivo.preferences in the program's own folder when such a
// file is already there (a portable install), otherwise the standard per-user location.
QString preferencesFileName(const QString &program);

#endif // ENTRY_H
