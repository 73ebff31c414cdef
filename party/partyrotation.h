#ifndef PARTYROTATION_H
#define PARTYROTATION_H

#include <QList>
#include <QStringList>

struct PartyEntry;

// Fair turns: the singers (by the phone they sing from) in the order they first asked, and whose
// turn is next. The queue takes one song per singer in turn; a newcomer joins at the end of the
// round, and a singer whose songs ran out keeps their place for the next request.
// GUI thread only.
class PartyRotation
{
public:
    PartyRotation() = default;
    PartyRotation(const QStringList &singers, int next);

    QStringList singers() const { return order; }
    // Index in singers() of the singer whose turn is next.
    int next() const { return cursor; }

    // Adds a singer who is not in the rotation yet, at the end of the round.
    void join(const QString &singer);
    // The singer just took their turn: the one after them is next.
    void tookTurn(const QString &singer);
    void clear();

    // Where a new request of singer goes in queue: after every song of an earlier or equal round
    // and of a singer whose turn comes before theirs in that round. A queue the host reordered
    // keeps its order; the new song goes before the first song that should follow it.
    int placeFor(const QList<PartyEntry> &queue, const QString &singer) const;

private:
    // How many turns after the next one the singer's turn comes, 0 for the next singer.
    int turnsUntil(const QString &singer) const;

    QStringList order;
    int cursor = 0;
};

#endif // PARTYROTATION_H
