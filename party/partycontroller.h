#ifndef PARTYCONTROLLER_H
#define PARTYCONTROLLER_H

#include "partybadge.h"
#include "partyentry.h"

#include <QObject>

#include <memory>
#include <optional>

class PartyQueue;
class PartyServer;
class PartyStore;
class SongCatalog;
class QAction;
class QPainter;
class QRect;
class QTimer;

// Party mode as the player sees it: starts and stops the party server, keeps the key, the queue
// (stored in the library's database) and the settings (party on, port, auto-advance, corner
// badge, in the second settings file), and after each song ends shows "Next up" for a few
// seconds before asking for the next queued song, in the key its singer asked for. The player
// tells it when a song ends and plays what playRequested names.
// GUI thread only.
class PartyController : public QObject
{
    Q_OBJECT

public:
    static constexpr int cardMilliseconds = 5000;

    PartyController(const SongCatalog &catalog, const QString &databaseFile,
                    QObject *parent = nullptr);
    ~PartyController() override;

    // Checkable "Party &Mode" action for a menu: on starts a party, off ends it.
    QAction *partyModeAction() const { return modeAction; }

    static constexpr int storedPort = -1;
    // Starts a party on port (the stored one for storedPort, any free one for 0), or the next
    // free port; prints "Party: URL" on standard output. loopbackOnly keeps phones of the
    // network out (tests, benchmarks).
    bool start(int port = storedPort, bool loopbackOnly = false);
    void stop();
    bool running() const { return server != nullptr; }
    // A fresh key: phones holding the old one are refused from now on.
    void renewKey();
    QString joinUrl() const;
    quint16 port() const;
    // Whether the party was on when the player last ran.
    static bool wasOn();

    bool autoAdvance() const;
    void setAutoAdvance(bool on);
    bool badgeShown() const;
    void setBadgeShown(bool shown);

    PartyQueue &queue() const { return *songs; }

    // For the stage: the QR code and address, and the "Next up" card while it is up.
    const PartyBadge &badge() const { return joinBadge; }
    void paintBadge(QPainter &painter, const QRect &area) const;
    QString nextUpText() const { return cardText; }
    void paintNextUp(QPainter &painter, const QRect &area) const;
    // The card is up and auto-advance is off: Play should call playNext().
    bool waitingForPlay() const { return !cardText.isEmpty() && !autoAdvance(); }

    // The player's song ended: the key goes back, and the next queued song is announced.
    void songEnded();
    // Starts the first queued song (or entryId's) now.
    void playNext();
    void playNow(qint64 entryId);

signals:
    // The party started or stopped, or its key changed.
    void partyChanged();
    // The stage should repaint: the card came or went, the badge changed.
    void stageChanged();
    // Play this file now; its key is already set.
    void playRequested(const QString &path, const QString &singer, const QString &title);

private:
    void play(const std::optional<PartyEntry> &entry);
    void restoreKey();
    void showCard();
    void announce();

    const SongCatalog &catalog;
    std::unique_ptr<PartyStore> store;
    PartyQueue *songs = nullptr;
    PartyServer *server = nullptr;
    QAction *modeAction = nullptr;
    QTimer *cardTimer = nullptr;
    QTimer *saveTimer = nullptr;
    PartyBadge joinBadge;
    QString cardText;
    std::optional<int> keyBefore;
};

#endif // PARTYCONTROLLER_H
