#ifndef SCREENSAVER_H
#define SCREENSAVER_H

// The screen-saver switch, realised with the freedesktop screen-saver inhibition service on the
// session bus. Without a session bus or without that service each operation only says so on the
// debug channel. Called on the GUI thread.

// The setting as it was before the player changed anything: 1, the screen saver active (nothing
// inhibited by us). Restored at exit.
extern int savedScreenSaverActive;

// Remembers that nothing is inhibited yet.
void readScreenSaverSetting();
// Inhibits the screen saver; a second call while the inhibition is held does nothing.
void suspendScreenSaver();
// Releases the inhibition this process holds, if any.
void restoreScreenSaver();

#endif // SCREENSAVER_H
