#include "partyrotation.h"

#include "partyentry.h"

#include <QHash>

#include <algorithm>

PartyRotation::PartyRotation(const QStringList &singers, int next)
    : order(singers), cursor(singers.isEmpty() ? 0 : qBound(0, next, int(singers.size()) - 1))
{
}

void PartyRotation::join(const QString &singer)
{
    if (order.contains(singer))
        return;
    // A round goes through the rotation in its order: a newcomer sings after everyone in it.
    order.append(singer);
}

void PartyRotation::tookTurn(const QString &singer)
{
    const int at = int(order.indexOf(singer));
    if (at >= 0)
        cursor = (at + 1) % int(order.size());
}

void PartyRotation::clear()
{
    order.clear();
    cursor = 0;
}

int PartyRotation::turnsUntil(const QString &singer) const
{
    const int at = int(order.indexOf(singer));
    if (at < 0)
        return int(order.size());
    return (at - cursor + int(order.size())) % int(order.size());
}

int PartyRotation::placeFor(const QList<PartyEntry> &queue, const QString &singer) const
{
    // An entry's round is how many songs of the same singer come before it in the queue.
    const int singersRound = int(std::count_if(queue.cbegin(), queue.cend(),
        [&singer](const PartyEntry &entry) { return entry.clientId == singer; }));
    const auto ownPlace = std::make_pair(singersRound, turnsUntil(singer));
    QHash<QString, int> rounds;
    for (int index = 0; index < queue.size(); ++index) {
        const QString &other = queue.at(index).clientId;
        const auto place = std::make_pair(rounds[other]++, turnsUntil(other));
        if (place > ownPlace)
            return index;
    }
    return int(queue.size());
}
