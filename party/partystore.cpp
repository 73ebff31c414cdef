#include "partystore.h"

#include "partyqueue.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QVariant>

namespace {

int storesMade = 0;

bool run(QSqlQuery &query, const QString &statement)
{
    if (query.exec(statement))
        return true;
    qWarning("Party queue: %s", qPrintable(query.lastError().text()));
    return false;
}

} // namespace

QString PartyStore::standardFileName()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/VantrelKivo/library.sqlite");
}

PartyStore::PartyStore(const QString &fileName)
    : path(fileName), connection(QStringLiteral("kivo-party-%1").arg(++storesMade))
{
}

PartyStore::~PartyStore()
{
    if (QSqlDatabase::contains(connection)) {
        QSqlDatabase::database(connection, false).close();
        QSqlDatabase::removeDatabase(connection);
    }
}

bool PartyStore::open()
{
    if (opened)
        return true;
    // Only a regular file, or none yet: the database is made in its folder.
    const QFileInfo info(path);
    if (info.exists() && !info.isFile())
        return false;
    QDir().mkpath(info.absolutePath());
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
    db.setDatabaseName(path);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=200"));
    if (!db.open()) {
        qWarning("Party queue: cannot open %s", qPrintable(path));
        return false;
    }
    QSqlQuery query(db);
    opened = run(query, QStringLiteral(
                 "CREATE TABLE IF NOT EXISTS party_queue (position INTEGER, id INTEGER, "
                 "singer TEXT, client TEXT, song INTEGER, title TEXT, artist TEXT, "
                 "seconds INTEGER, key INTEGER, queued_at INTEGER)")) &&
             run(query, QStringLiteral("CREATE TABLE IF NOT EXISTS party_rotation "
                                       "(position INTEGER, client TEXT, next INTEGER)"));
    return opened;
}

bool PartyStore::load(PartyQueue &queue)
{
    if (!open())
        return false;
    QSqlQuery query(QSqlDatabase::database(connection));
    QStringList singers;
    int next = 0;
    if (!run(query, QStringLiteral("SELECT client, next FROM party_rotation ORDER BY position "
                                   "LIMIT %1").arg(PartyQueue::maxEntries)))
        return false;
    while (query.next()) {
        const QString client = query.value(0).toString();
        if (!PartyQueue::isPhoneId(client) || singers.contains(client))
            continue;
        if (query.value(1).toInt() != 0)
            next = int(singers.size());
        singers.append(client);
    }
    QList<PartyEntry> entries;
    if (!run(query, QStringLiteral("SELECT id, singer, client, song, title, artist, seconds, key, "
                                   "queued_at FROM party_queue ORDER BY position LIMIT %1")
                        .arg(PartyQueue::maxEntries)))
        return false;
    while (query.next()) {
        PartyEntry entry;
        entry.id = query.value(0).toLongLong();
        const auto name = PartyQueue::cleanName(query.value(1).toString());
        entry.clientId = query.value(2).toString();
        entry.songId = query.value(3).toLongLong();
        entry.title = query.value(4).toString().left(1000);
        entry.artist = query.value(5).toString().left(1000);
        entry.seconds = query.value(6).toInt();
        entry.key = query.value(7).toInt();
        entry.queuedAt = QDateTime::fromSecsSinceEpoch(query.value(8).toLongLong());
        if (!name || !PartyQueue::isPhoneId(entry.clientId) || entry.id <= 0 || entry.key < -6 ||
            entry.key > 6)
            continue;
        entry.singer = *name;
        entries.append(entry);
    }
    queue.restore(entries, PartyRotation(singers, next));
    return true;
}

bool PartyStore::save(const PartyQueue &queue)
{
    if (!open())
        return false;
    QSqlDatabase db = QSqlDatabase::database(connection);
    if (!db.transaction())
        return false;
    QSqlQuery query(db);
    bool ok = run(query, QStringLiteral("DELETE FROM party_queue")) &&
              run(query, QStringLiteral("DELETE FROM party_rotation"));
    ok = ok && query.prepare(QStringLiteral("INSERT INTO party_queue VALUES (?,?,?,?,?,?,?,?,?,?)"));
    const QList<PartyEntry> &entries = queue.entries();
    for (int position = 0; ok && position < entries.size(); ++position) {
        const PartyEntry &entry = entries.at(position);
        const QVariantList values{position, entry.id, entry.singer, entry.clientId, entry.songId,
                                  entry.title, entry.artist, entry.seconds, entry.key,
                                  entry.queuedAt.toSecsSinceEpoch()};
        for (int column = 0; column < values.size(); ++column)
            query.bindValue(column, values.at(column));
        ok = query.exec();
    }
    const QStringList singers = queue.rotation().singers();
    ok = ok && query.prepare(QStringLiteral("INSERT INTO party_rotation VALUES (?,?,?)"));
    for (int position = 0; ok && position < singers.size(); ++position) {
        query.bindValue(0, position);
        query.bindValue(1, singers.at(position));
        query.bindValue(2, position == queue.rotation().next() ? 1 : 0);
        ok = query.exec();
    }
    if (ok && db.commit())
        return true;
    qWarning("Party queue: not saved: %s", qPrintable(db.lastError().text()));
    db.rollback();
    return false;
}
