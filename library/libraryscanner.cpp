#include "libraryscanner.h"

#include "librarydatabase.h"
#include "loudnessmeter.h"
#include "searchtext.h"
#include "songfacts.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <dirent.h>
#include <set>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int maxDepth = 64;
constexpr int writesPerTransaction = 500;

bool hasSuffix(const QByteArray &name, const char *suffix)
{
    const int length = int(qstrlen(suffix));
    return name.size() > length && qstrnicmp(name.constData() + name.size() - length, suffix, length) == 0;
}

// Walks folders once each, following links; (device, inode) pairs end loops.
class FolderWalk
{
public:
    QList<LibraryScanner::Found> found;

    void walk(const QByteArray &folder, int depth)
    {
        struct stat info;
        if (depth > maxDepth || ::stat(folder.constData(), &info) != 0 || !S_ISDIR(info.st_mode))
            return;
        if (!visited.insert(qMakePair(quint64(info.st_dev), quint64(info.st_ino))).second)
            return;
        DIR *dir = ::opendir(folder.constData());
        if (!dir)
            return;
        QList<QByteArray> folders, songs;
        QSet<QByteArray> lrcs, cdgs;
        while (const dirent *entry = ::readdir(dir)) {
            const QByteArray name(entry->d_name);
            if (name == "." || name == "..")
                continue;
            const bool song = hasSuffix(name, ".mp3") || hasSuffix(name, ".zip");
            if (entry->d_type == DT_REG && !song) {
                if (hasSuffix(name, ".lrc"))
                    lrcs.insert(name.chopped(4).toLower());
                else if (hasSuffix(name, ".cdg"))
                    cdgs.insert(name.chopped(4).toLower());
                continue;
            }
            if (entry->d_type == DT_DIR || entry->d_type == DT_LNK ||
                entry->d_type == DT_UNKNOWN || song)
                (song ? songs : folders) << name;
        }
        const int fd = dirfd(dir);
        for (const QByteArray &name : std::as_const(songs)) {
            if (::fstatat(fd, name.constData(), &info, 0) != 0 || !S_ISREG(info.st_mode))
                continue;
            LibraryScanner::Found file;
            file.path = QFile::decodeName(folder + '/' + name);
            file.size = info.st_size;
            file.mtime = qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
            const QByteArray base = name.chopped(4).toLower();
            file.fileLyrics = lrcs.contains(base);
            file.graphics = cdgs.contains(base) || hasSuffix(name, ".zip"); // zips hold pairs
            found << file;
        }
        ::closedir(dir);
        for (const QByteArray &name : std::as_const(folders))
            walk(folder + '/' + name, depth + 1);
    }

private:
    std::set<QPair<quint64, quint64>> visited;
};

// Columns are NOT NULL: an absent tag is stored as empty text.
QString text(const QString &value)
{
    return value.isNull() ? QStringLiteral("") : value;
}

bool exec(QSqlQuery &query)
{
    if (query.exec())
        return true;
    qWarning("Library scan: %s", qPrintable(query.lastError().text()));
    return false;
}

} // namespace

LibraryScanner::LibraryScanner(LibraryDatabase &database) : database(database) {}

LibraryScanner::~LibraryScanner() = default;

bool LibraryScanner::cancelled() const
{
    return cancelFlag && cancelFlag->load(std::memory_order_relaxed);
}

LibraryScanner::Summary LibraryScanner::scan(const QStringList &folders)
{
    Summary summary;
    if (!database.isOpen())
        return summary;
    loadKnown();
    FolderWalk walk;
    for (const QString &folder : folders)
        walk.walk(QFile::encodeName(QFileInfo(folder).absoluteFilePath()), 0);
    readChanged(walk.found, summary);
    if (!cancelled())
        removeGone(summary);
    if (!cancelled() && measureLoudness)
        measureAll(summary);
    QSqlQuery count(database.connection());
    if (count.exec(QStringLiteral("SELECT count(*) FROM songs")) && count.next())
        summary.songs = count.value(0).toInt();
    summary.cancelled = cancelled();
    return summary;
}

void LibraryScanner::loadKnown()
{
    known.clear();
    seen.clear();
    QSqlQuery query(database.connection());
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral(
            "SELECT id, path, size, mtime, file_lyrics, graphics FROM songs")))
        return;
    while (query.next())
        known.insert(query.value(1).toString(),
                     Known{query.value(0).toLongLong(), query.value(2).toLongLong(),
                           query.value(3).toLongLong(), query.value(4).toBool(),
                           query.value(5).toBool()});
}

void LibraryScanner::readChanged(const QList<Found> &found, Summary &summary)
{
    QSqlDatabase &db = database.connection();
    db.transaction();
    QSqlQuery marks(db);
    marks.prepare(QStringLiteral("UPDATE songs SET file_lyrics = ?, graphics = ? WHERE id = ?"));
    for (int i = 0; i < found.size() && !cancelled(); ++i) {
        const Found &file = found[i];
        if (report && i % 100 == 0)
            report(Phase::Reading, i, int(found.size()));
        const auto old = known.constFind(file.path);
        const Known *was = old == known.constEnd() ? nullptr : &*old;
        if (was && was->size == file.size && was->mtime == file.mtime) {
            seen.insert(was->id);
            if (was->fileLyrics == file.fileLyrics && was->graphics == file.graphics) {
                ++summary.unchanged;
                continue;
            }
            marks.addBindValue(file.fileLyrics);
            marks.addBindValue(file.graphics);
            marks.addBindValue(was->id);
            exec(marks);
            ++summary.updated;
            commitNowAndThen(false);
            continue;
        }
        const std::optional<SongFacts> facts = SongFacts::read(file.path);
        if (!facts)
            continue; // gone from the library if it was in it
        if (writeSong(file, *facts, was))
            ++(was ? summary.updated : summary.added);
        commitNowAndThen(false);
    }
    commitNowAndThen(true);
    if (report)
        report(Phase::Reading, int(found.size()), int(found.size()));
}

bool LibraryScanner::addSong(const Found &file, const SongFacts &facts)
{
    return writeSong(file, facts, nullptr);
}

// Inserts or replaces one song and its full-text row. Inside the open transaction.
bool LibraryScanner::writeSong(const Found &file, const SongFacts &facts, const Known *was)
{
    QSqlDatabase &db = database.connection();
    QSqlQuery song(db);
    song.prepare(QStringLiteral(
        "INSERT OR REPLACE INTO songs (id, path, size, mtime, title, artist, album, ms, tag_lyrics,"
        " file_lyrics, graphics, tag_gain, tag_peak) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?)"));
    song.addBindValue(was ? QVariant(was->id) : QVariant());
    song.addBindValue(file.path);
    song.addBindValue(file.size);
    song.addBindValue(file.mtime);
    song.addBindValue(text(facts.title));
    song.addBindValue(text(facts.artist));
    song.addBindValue(text(facts.album));
    song.addBindValue(facts.milliseconds);
    song.addBindValue(facts.tagLyrics);
    song.addBindValue(file.fileLyrics);
    song.addBindValue(file.graphics || facts.zippedGraphics);
    song.addBindValue(facts.tagGainDb ? QVariant(*facts.tagGainDb) : QVariant());
    song.addBindValue(facts.tagPeak ? QVariant(*facts.tagPeak) : QVariant());
    if (!exec(song))
        return false;
    const qint64 id = was ? was->id : song.lastInsertId().toLongLong();
    seen.insert(id);
    QSqlQuery words(db);
    words.prepare(QStringLiteral("DELETE FROM songs_fts WHERE rowid = ?"));
    words.addBindValue(id);
    if (was)
        exec(words);
    words.prepare(QStringLiteral(
        "INSERT INTO songs_fts (rowid, title, artist, album, file) VALUES (?,?,?,?,?)"));
    words.addBindValue(id);
    words.addBindValue(SearchText::forIndex(facts.title));
    words.addBindValue(SearchText::forIndex(facts.artist));
    words.addBindValue(SearchText::forIndex(facts.album));
    words.addBindValue(SearchText::forIndex(QFileInfo(file.path).completeBaseName()));
    return exec(words);
}

void LibraryScanner::removeGone(Summary &summary)
{
    QSqlDatabase &db = database.connection();
    db.transaction();
    QSqlQuery song(db), words(db);
    song.prepare(QStringLiteral("DELETE FROM songs WHERE id = ?"));
    words.prepare(QStringLiteral("DELETE FROM songs_fts WHERE rowid = ?"));
    for (const Known &was : std::as_const(known)) {
        if (seen.contains(was.id))
            continue;
        song.addBindValue(was.id);
        words.addBindValue(was.id);
        exec(song);
        exec(words);
        ++summary.removed;
        commitNowAndThen(false);
    }
    commitNowAndThen(true);
}

// Songs without a tag gain (or with a raising one but no peak) and not yet measured, one by one, each result written at once.
void LibraryScanner::measureAll(Summary &summary)
{
    QSqlDatabase &db = database.connection();
    QList<QPair<qint64, QString>> todo;
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (query.exec(QStringLiteral(
            "SELECT id, path FROM songs WHERE measured_lufs IS NULL AND measure_failed = 0"
            " AND (tag_gain IS NULL OR (tag_gain > 0 AND tag_peak IS NULL))"
            " AND lower(path) NOT LIKE '%.zip'")))
        while (query.next())
            todo.append({query.value(0).toLongLong(), query.value(1).toString()});
    query.finish();
    QSqlQuery store(db);
    for (int i = 0; i < todo.size() && !cancelled(); ++i) {
        if (report)
            report(Phase::Measuring, i, int(todo.size()));
        const auto measurement = LoudnessMeter::measure(todo[i].second, 1.0, cancelFlag);
        if (cancelled())
            break;
        if (measurement) {
            store.prepare(QStringLiteral(
                "UPDATE songs SET measured_lufs = ?, measured_peak = ? WHERE id = ?"));
            store.addBindValue(measurement->lufs);
            store.addBindValue(measurement->peak);
            ++summary.measured;
        } else {
            store.prepare(QStringLiteral("UPDATE songs SET measure_failed = 1 WHERE id = ?"));
        }
        store.addBindValue(todo[i].first);
        exec(store);
    }
    if (report)
        report(Phase::Measuring, int(todo.size()), int(todo.size()));
}

// Ends the transaction after writesPerTransaction writes (or when forced) and opens the next.
void LibraryScanner::commitNowAndThen(bool force)
{
    QSqlDatabase &db = database.connection();
    if (!force && ++pendingWrites < writesPerTransaction)
        return;
    pendingWrites = 0;
    if (!db.commit())
        qWarning("Library scan: %s", qPrintable(db.lastError().text()));
    if (!force)
        db.transaction();
}
