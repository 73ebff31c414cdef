#ifndef LIBRARYDATABASE_H
#define LIBRARYDATABASE_H

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

// One connection to the library's SQLite file, made in and used by one thread only (Qt's rule
// for database connections). Opening it brings the schema up to date step by step from the
// version stored in the file (PRAGMA user_version) and puts it in WAL mode with a busy timeout,
// so the player, its scanner thread and kivo-library can use the file at the same time. A file
// that is not a database or fails its check is moved aside ("library.sqlite.damaged") and made
// anew; the next scan fills it again from the folders, which live in a plain list beside the
// file ("library-folders" beside "library.sqlite") so a damaged database never loses them.
class LibraryDatabase
{
public:
    static constexpr int schemaVersion = 1;

    enum class Check
    {
        Quick,  // open and bring the schema up to date: for the GUI thread
        Thorough // also PRAGMA quick_check, which reads every page: for scans in the background
    };

    // Opens fileName (made with its folder when missing).
    explicit LibraryDatabase(const QString &fileName, Check check = Check::Quick);
    ~LibraryDatabase();
    LibraryDatabase(const LibraryDatabase &) = delete;
    LibraryDatabase &operator=(const LibraryDatabase &) = delete;

    bool isOpen() const;
    // True when the file had to be made anew on opening.
    bool wasRebuilt() const { return rebuilt; }
    QSqlDatabase &connection() { return db; }
    QString fileName() const { return path; }

    // The library folders, in the order added, from the list beside the database.
    static QStringList folders(const QString &databaseFile);
    // Writes the list atomically; false when the disk refused.
    static bool setFolders(const QString &databaseFile, const QStringList &folders);

private:
    bool open();
    bool healthy(Check check);
    bool migrate();
    void moveAside();

    QString path;
    QString connectionName;
    QSqlDatabase db;
    bool rebuilt = false;
};

#endif // LIBRARYDATABASE_H
