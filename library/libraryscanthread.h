#ifndef LIBRARYSCANTHREAD_H
#define LIBRARYSCANTHREAD_H

#include <QString>
#include <QStringList>
#include <QThread>

#include <atomic>

// Runs LibraryScanner in a thread of its own with its own database connection, and reports
// progress (at most ten times a second) and the end through queued signals.
// start() and cancel() from the GUI thread; the fields are set before start() and only read by
// the scan, so they need no lock.
class LibraryScanThread : public QThread
{
    Q_OBJECT

public:
    explicit LibraryScanThread(const QString &databaseFile, QObject *parent = nullptr);
    // Cancels a running scan and waits for it (a fraction of a second).
    ~LibraryScanThread() override;

    // Starts a scan of folders, then loudness measurement when measureLoudness; false when a
    // scan is already running.
    bool startScan(const QStringList &folders, bool measureLoudness);
    void cancel();

signals:
    // measuring is false while files are read, true while loudness is measured.
    void progress(bool measuring, int done, int total);
    // summary: one line for people; rebuilt: the database had to be made anew.
    void scanFinished(const QString &summary, int songs, bool rebuilt);

protected:
    void run() override;

private:
    QString databaseFile;
    QStringList folders;
    bool measure = false;
    std::atomic<bool> cancelRequested{false};
};

#endif // LIBRARYSCANTHREAD_H
