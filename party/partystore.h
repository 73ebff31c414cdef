#ifndef PARTYSTORE_H
#define PARTYSTORE_H

#include <QString>

class PartyQueue;

// Keeps the party queue and its rotation across runs, in two tables of their own in the library's
// database file, through a connection of their own. Rows that do not hold a valid request are
// skipped on reading. A missing or unreadable database reads as an empty queue.
// GUI thread only.
class PartyStore
{
public:
    // $XDG_DATA_HOME/VantrelKivo/library.sqlite (~/.local/share when unset).
    static QString standardFileName();

    explicit PartyStore(const QString &fileName);
    ~PartyStore();

    bool load(PartyQueue &queue);
    bool save(const PartyQueue &queue);

private:
    bool open();

    QString path;
    QString connection;
    bool opened = false;
};

#endif // PARTYSTORE_H
