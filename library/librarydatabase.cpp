#include "librarydatabase.h"

#include <QAtomicInt>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace {

constexpr qint64 maxFolderListSize = 1 << 20;

QString folderListFile(const QString &databaseFile)
{
    const QFileInfo database(databaseFile);
    return database.absolutePath() + QLatin1Char('/') + database.completeBaseName() +
           QLatin1String("-folders");
}

bool run(QSqlDatabase &db, const QString &statement)
{
    QSqlQuery query(db);
    if (query.exec(statement))
        return true;
    qWarning("Library database: %s: %s", qPrintable(statement.left(60)),
             qPrintable(query.lastError().text()));
    return false;
}

// Version 1: the songs, their full-text index and the loudness facts.
const char *const schemaVersion1[] = {
    "CREATE TABLE songs ("
    " id INTEGER PRIMARY KEY,"
    " path TEXT NOT NULL UNIQUE,"
    " size INTEGER NOT NULL,"
    " mtime INTEGER NOT NULL,"
    " title TEXT NOT NULL, artist TEXT NOT NULL, album TEXT NOT NULL,"
    " ms INTEGER NOT NULL,"
    " tag_lyrics INTEGER NOT NULL, file_lyrics INTEGER NOT NULL, graphics INTEGER NOT NULL,"
    " tag_gain REAL, tag_peak REAL,"         // ReplayGain or RVA2, dB and linear peak
    " measured_lufs REAL, measured_peak REAL," // EBU R128 integrated loudness and sample peak
    " measure_failed INTEGER NOT NULL DEFAULT 0)",
    "CREATE INDEX songs_title ON songs(title)",
    "CREATE VIRTUAL TABLE songs_fts USING fts5(title, artist, album, file,"
    " tokenize = 'unicode61 remove_diacritics 2', prefix = '1 2 3')",
};

} // namespace

LibraryDatabase::LibraryDatabase(const QString &fileName, Check check) : path(fileName)
{
    static QAtomicInt counter;
    connectionName = QStringLiteral("kivo-library-%1").arg(counter.fetchAndAddRelaxed(1));
    QDir().mkpath(QFileInfo(path).absolutePath());
    if (open() && healthy(check) && migrate())
        return;
    // Damaged or not a database: keep it for inspection and start afresh.
    qWarning("Library database %s is damaged; it is rebuilt from the folders", qPrintable(path));
    db.close();
    moveAside();
    rebuilt = true;
    if (!open() || !migrate())
        db.close();
}

LibraryDatabase::~LibraryDatabase()
{
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(connectionName);
}

bool LibraryDatabase::isOpen() const
{
    return db.isOpen();
}

bool LibraryDatabase::open()
{
    if (!db.isValid())
        db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName);
    db.setDatabaseName(path);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000"));
    if (!db.open()) {
        qWarning("Library database %s: %s", qPrintable(path), qPrintable(db.lastError().text()));
        return false;
    }
    return run(db, QStringLiteral("PRAGMA journal_mode = WAL")) &&
           run(db, QStringLiteral("PRAGMA synchronous = NORMAL"));
}

bool LibraryDatabase::healthy(Check check)
{
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")))
        return false;
    if (check == Check::Quick)
        return true;
    return query.exec(QStringLiteral("PRAGMA quick_check")) && query.next() &&
           query.value(0).toString() == QLatin1String("ok");
}

// Steps the schema from the file's version to schemaVersion, each step in one transaction.
bool LibraryDatabase::migrate()
{
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("PRAGMA user_version")) || !query.next())
        return false;
    const int version = query.value(0).toInt();
    if (version > schemaVersion) {
        qWarning("Library database %s is of a newer version (%d); it is used as it is",
                 qPrintable(path), version);
        return true;
    }
    if (version == schemaVersion)
        return true;
    if (!db.transaction())
        return false;
    bool ok = true;
    if (version < 1)
        for (const char *statement : schemaVersion1)
            ok = ok && run(db, QString::fromLatin1(statement));
    // A later version adds its steps here: if (version < 2) ...
    ok = ok && run(db, QStringLiteral("PRAGMA user_version = %1").arg(schemaVersion));
    if (ok)
        return db.commit();
    db.rollback();
    return false;
}

void LibraryDatabase::moveAside()
{
    const QString aside = path + QLatin1String(".damaged");
    QFile::remove(aside);
    if (!QFile::rename(path, aside))
        QFile::remove(path);
    QFile::remove(path + QLatin1String("-wal"));
    QFile::remove(path + QLatin1String("-shm"));
}

QStringList LibraryDatabase::folders(const QString &databaseFile)
{
    QFile file(folderListFile(databaseFile));
    if (!file.open(QIODevice::ReadOnly) || file.size() > maxFolderListSize)
        return {};
    QStringList list;
    for (const QByteArray &line : file.readAll().split('\n'))
        if (!line.isEmpty())
            list << QString::fromUtf8(line);
    return list;
}

bool LibraryDatabase::setFolders(const QString &databaseFile, const QStringList &folders)
{
    QDir().mkpath(QFileInfo(databaseFile).absolutePath());
    QSaveFile file(folderListFile(databaseFile));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    for (const QString &folder : folders)
        file.write(folder.toUtf8() + '\n');
    return file.commit();
}
