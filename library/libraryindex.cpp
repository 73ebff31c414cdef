#include "libraryindex.h"

#include "librarydatabase.h"
#include "loudnessmeter.h"
#include "searchtext.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace {

const QString songColumns = QStringLiteral(
    "s.id, s.path, s.title, s.artist, s.album, s.ms, s.tag_lyrics OR s.file_lyrics, s.graphics");

LibrarySong songFrom(const QSqlQuery &query)
{
    LibrarySong song;
    song.id = query.value(0).toLongLong();
    song.path = query.value(1).toString();
    song.title = query.value(2).toString();
    song.artist = query.value(3).toString();
    song.album = query.value(4).toString();
    song.seconds = int((query.value(5).toLongLong() + 500) / 1000);
    song.hasLyrics = query.value(6).toBool();
    song.hasGraphics = query.value(7).toBool();
    return song;
}

std::optional<double> optionalReal(const QVariant &value)
{
    return value.isNull() ? std::nullopt : std::optional<double>(value.toDouble());
}

QString cleanFolder(const QString &folder)
{
    return QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
}

} // namespace

QString LibraryIndex::standardFileName()
{
    QString data = qEnvironmentVariable("XDG_DATA_HOME");
    if (data.isEmpty() || QDir::isRelativePath(data))
        data = QDir::homePath() + QLatin1String("/.local/share");
    return data + QLatin1String("/VantrelKivo/library.sqlite");
}

LibraryIndex::LibraryIndex(const QString &fileName) : path(fileName) {}

LibraryIndex::~LibraryIndex() = default;

LibraryDatabase *LibraryIndex::database(bool create) const
{
    if (!opened && (create || QFileInfo::exists(path)))
        opened = std::make_unique<LibraryDatabase>(path);
    return opened && opened->isOpen() ? opened.get() : nullptr;
}

void LibraryIndex::reopen()
{
    opened.reset();
}

QList<LibrarySong> LibraryIndex::search(const QString &words, int limit) const
{
    QList<LibrarySong> songs;
    LibraryDatabase *db = database(false);
    if (!db || limit <= 0)
        return songs;
    QSqlQuery query(db->connection());
    query.setForwardOnly(true);
    const QString match = SearchText::matchQuery(words);
    if (match.isEmpty()) {
        if (!words.trimmed().isEmpty())
            return songs; // only punctuation typed: nothing can match
        query.prepare(QStringLiteral("SELECT %1 FROM songs s ORDER BY s.title LIMIT ?").arg(songColumns));
    } else {
        query.prepare(QStringLiteral("SELECT %1 FROM songs_fts f JOIN songs s ON s.id = f.rowid"
                                     " WHERE songs_fts MATCH ? LIMIT ?").arg(songColumns));
        query.addBindValue(match);
    }
    query.addBindValue(limit);
    if (!query.exec()) {
        qWarning("Library search: %s", qPrintable(query.lastError().text()));
        return songs;
    }
    while (query.next())
        songs.append(songFrom(query));
    return songs;
}

std::optional<LibrarySong> LibraryIndex::song(qint64 id) const
{
    LibraryDatabase *db = database(false);
    if (!db)
        return std::nullopt;
    QSqlQuery query(db->connection());
    query.prepare(QStringLiteral("SELECT %1 FROM songs s WHERE s.id = ?").arg(songColumns));
    query.addBindValue(id);
    if (!query.exec() || !query.next())
        return std::nullopt;
    return songFrom(query);
}

std::optional<LibrarySong> LibraryIndex::songAt(const QString &songPath) const
{
    LibraryDatabase *db = database(false);
    if (!db)
        return std::nullopt;
    QSqlQuery query(db->connection());
    query.prepare(QStringLiteral("SELECT %1 FROM songs s WHERE s.path = ?").arg(songColumns));
    query.addBindValue(songPath);
    if (!query.exec() || !query.next())
        return std::nullopt;
    return songFrom(query);
}

QStringList LibraryIndex::folders() const
{
    return LibraryDatabase::folders(path);
}

bool LibraryIndex::addFolder(const QString &folder)
{
    const QString clean = cleanFolder(folder);
    QStringList list = folders();
    if (!QFileInfo(clean).isDir() || list.contains(clean))
        return false;
    list << clean;
    database(true);
    return LibraryDatabase::setFolders(path, list);
}

bool LibraryIndex::removeFolder(const QString &folder)
{
    const QString clean = cleanFolder(folder);
    QStringList list = folders();
    if (!list.removeAll(clean) || !LibraryDatabase::setFolders(path, list))
        return false;
    LibraryDatabase *db = database(false);
    if (!db)
        return true;
    // Its songs go now; songs that another folder also holds come back with the next scan.
    const QString prefix = clean.endsWith(QLatin1Char('/')) ? clean : clean + QLatin1Char('/');
    QSqlDatabase &connection = db->connection();
    connection.transaction();
    QSqlQuery query(connection);
    query.prepare(QStringLiteral("DELETE FROM songs_fts WHERE rowid IN"
                                 " (SELECT id FROM songs WHERE substr(path, 1, ?) = ?)"));
    query.addBindValue(prefix.size());
    query.addBindValue(prefix);
    query.exec();
    query.prepare(QStringLiteral("DELETE FROM songs WHERE substr(path, 1, ?) = ?"));
    query.addBindValue(prefix.size());
    query.addBindValue(prefix);
    query.exec();
    connection.commit();
    return true;
}

double LibraryIndex::loudnessGain(const QString &songPath) const
{
    LibraryDatabase *db = database(false);
    if (!db)
        return 1.0;
    QSqlQuery query(db->connection());
    query.prepare(QStringLiteral(
        "SELECT tag_gain, tag_peak, measured_lufs, measured_peak FROM songs WHERE path = ?"));
    query.addBindValue(songPath);
    if (!query.exec() || !query.next())
        return 1.0;
    return LoudnessMeter::gainFor(optionalReal(query.value(0)), optionalReal(query.value(1)),
                                  optionalReal(query.value(2)), optionalReal(query.value(3)));
}

LibraryIndex::Stats LibraryIndex::stats() const
{
    Stats stats;
    stats.folders = int(folders().size());
    LibraryDatabase *db = database(false);
    if (!db)
        return stats;
    QSqlQuery query(db->connection());
    if (query.exec(QStringLiteral(
            "SELECT count(*), total(tag_lyrics OR file_lyrics), total(graphics),"
            " total(tag_gain IS NOT NULL OR measured_lufs IS NOT NULL), total(ms) FROM songs")) &&
        query.next()) {
        stats.songs = query.value(0).toInt();
        stats.withLyrics = query.value(1).toInt();
        stats.withGraphics = query.value(2).toInt();
        stats.withLoudness = query.value(3).toInt();
        stats.seconds = qint64(query.value(4).toDouble() / 1000);
    }
    return stats;
}
