#ifndef LIBRARYLINK_H
#define LIBRARYLINK_H

#include <QObject>
#include <QString>

class LibraryIndex;
class LibraryWindow;
class LoudnessNormalisation;
class QAction;
class QMenu;
class QWidget;

// Joins the song library to the player: the View menu's "&Library" entry (Ctrl+Shift+L) and,
// until the playback menu holds it, its "Loudness Normalisation" entry; songs chosen in the
// library window are played at once through the main menu's load, added to the playlist, or put
// after its current song; each starting song gets its loudness gain. GUI thread only.
class LibraryLink : public QObject
{
    Q_OBJECT

public:
    // The library window becomes a top-level window owned by window.
    LibraryLink(QMenu *viewMenu, QWidget *window);

    LibraryWindow *libraryWindow() const { return library; }
    const LibraryIndex &index() const;
    QAction *loudnessAction() const;
    // Call when the song at path starts: sets its loudness gain.
    void songStarted(const QString &path);

private:
    void toggleWindow();
    void addSongs(const QStringList &paths);
    void playNext(const QStringList &paths);

    LibraryWindow *library = nullptr;
    LoudnessNormalisation *loudness = nullptr;
};

#endif // LIBRARYLINK_H
