#ifndef PARTYENTRY_H
#define PARTYENTRY_H

#include <QDateTime>
#include <QString>

// One request in the party queue: who asked (the name shown, and the phone that asked), which
// song (by database id, with the title and artist to show), the key to sing it in, and when.
struct PartyEntry
{
    qint64 id = 0;
    QString singer;
    QString clientId;
    qint64 songId = 0;
    QString title;
    QString artist;
    int seconds = 0;
    int key = 0;
    QDateTime queuedAt;
};

#endif // PARTYENTRY_H
