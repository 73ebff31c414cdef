#ifndef PARTYQUEUE_H
#define PARTYQUEUE_H

#include "partyentry.h"
#include "partyrotation.h"

#include <QList>
#include <QObject>

#include <optional>

struct PartySong;

// The songs waiting to be sung, in the order they will be, with the fair rotation that places
// each new request. Phones add and withdraw their own requests; the host reorders, removes and
// takes any of them. Every change emits changed().
// GUI thread only.
class PartyQueue : public QObject
{
    Q_OBJECT

public:
    static constexpr int maxNameLength = 40;
    static constexpr int maxPerPhone = 5;
    static constexpr int maxEntries = 1000;

    enum class AddResult { Added, BadName, BadPhone, BadKey, TooMany };

    explicit PartyQueue(QObject *parent = nullptr);

    // The name trimmed, or nothing when it is empty, longer than maxNameLength or holds control
    // or formatting characters.
    static std::optional<QString> cleanName(const QString &name);
    // A phone's own id: 8 to 64 letters, digits, '-' or '_'.
    static bool isPhoneId(const QString &clientId);

    const QList<PartyEntry> &entries() const { return queue; }
    const PartyRotation &rotation() const { return turns; }
    int countFor(const QString &clientId) const;

    // Places the request where the rotation says; the new entry's id in *entryId.
    AddResult add(const QString &singer, const QString &clientId, const PartySong &song, int key,
                  const QDateTime &when, qint64 *entryId = nullptr);
    // Removes the entry only when that phone asked for it.
    bool withdraw(qint64 entryId, const QString &clientId);
    bool remove(qint64 entryId);
    // Moves the entry to index (clamped) among the others.
    bool move(qint64 entryId, int index);
    // Takes the first entry, or the given one ("play now"), out of the queue and gives the turn
    // to the singer after its singer.
    std::optional<PartyEntry> takeNext();
    std::optional<PartyEntry> take(qint64 entryId);
    void clear();
    // What a stored queue held.
    void restore(const QList<PartyEntry> &entries, const PartyRotation &rotation);

signals:
    void changed();

private:
    int indexOf(qint64 entryId) const;

    QList<PartyEntry> queue;
    PartyRotation turns;
    qint64 lastId = 0;
};

#endif // PARTYQUEUE_H
