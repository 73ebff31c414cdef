#ifndef PARTYKEY_H
#define PARTYKEY_H

#include <QByteArray>

// The party's key: 128 random bits from the system's generator, as 32 lower-case hex digits,
// fresh for every party and whenever the host renews it.
// Any thread.
class PartyKey
{
public:
    static QByteArray fresh();
    // Compares in time that does not depend on where the texts differ.
    static bool matches(const QByteArray &given, const QByteArray &key);
};

#endif // PARTYKEY_H
