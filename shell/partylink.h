#ifndef PARTYLINK_H
#define PARTYLINK_H

#include "lyricsscreenpainter.h"

#include <QObject>
#include <QPointer>

#include <memory>

class LibraryIndex;
class LyricsLabel;
class PartyController;
class PartyDialog;
class QMenu;
class QWidget;
class SongCatalog;

// Joins party mode to the player: the Playback menu's "Party &Mode" entry and its dialog, the
// library as the phones' songbook, the queued songs played through the main menu's load, the
// "Next up" card on the stage and, while nothing plays, the joining code drawn on the stage.
// GUI thread only.
class PartyLink : public QObject, public LyricsScreenPainter
{
    Q_OBJECT

public:
    PartyLink(const LibraryIndex &library, QMenu *playbackMenu, LyricsLabel *stage,
              QWidget *window);
    ~PartyLink() override;

    // Starts the party when the command line asked for one (on its port, if given) or the last
    // run ended with one on.
    void startIfWanted(bool commandLineParty, int commandLinePort);
    // The song ended. True when the party takes over: songs are queued, and the next one is
    // announced and then played.
    bool songEnded();
    // Play was pressed: true when that started the announced song.
    bool playPressed();
    // No song is loaded or the list has ended: the stage shows how to join.
    void setStageIdle(bool idle);
    PartyController &controller() const { return *party; }

    bool paintScreen(QPainter &painter, const QRect &area) override;
    // While songs play, the joining code small in a corner, unless the host hid it.
    void paintOverlay(QPainter &painter, const QRect &area) override;

private:
    void showDialog();
    void showCard();

    std::unique_ptr<SongCatalog> catalog;
    PartyController *party = nullptr; // child
    PartyDialog *dialog = nullptr;    // child of the window, made when first shown
    QPointer<LyricsLabel> stage; // a sibling, which may go first
    QWidget *window = nullptr;
    bool stageIdle = true;
};

#endif // PARTYLINK_H
