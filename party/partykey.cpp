#include "partykey.h"

#include <QRandomGenerator>

QByteArray PartyKey::fresh()
{
    quint32 words[4];
    QRandomGenerator::system()->fillRange(words);
    return QByteArray(reinterpret_cast<const char *>(words), sizeof words).toHex();
}

bool PartyKey::matches(const QByteArray &given, const QByteArray &key)
{
    if (key.isEmpty() || given.size() != key.size())
        return false;
    unsigned char difference = 0;
    for (qsizetype i = 0; i < key.size(); ++i)
        difference |= static_cast<unsigned char>(given.at(i) ^ key.at(i));
    return difference == 0;
}
