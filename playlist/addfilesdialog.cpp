#include "addfilesdialog.h"

#include "playlistfile.h"

#include <QCollator>
#include <QDir>
#include <QFileInfo>
#include <QSet>

#include <algorithm>

namespace {

// Folders first, then files, each in natural, case-blind name order. The C locale's collation
// knows no numbers, so there English order serves.
void sortAsShown(QFileInfoList &entries)
{
    const QLocale system = QLocale::system();
    QCollator collator(system.language() == QLocale::C ? QLocale(QLocale::English) : system);
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(entries.begin(), entries.end(), [&](const QFileInfo &a, const QFileInfo &b) {
        if (a.isDir() != b.isDir())
            return a.isDir();
        return collator.compare(a.fileName(), b.fileName()) < 0;
    });
}

class SongCollector
{
public:
    QStringList songs;

    void take(QFileInfoList entries)
    {
        sortAsShown(entries);
        for (const QFileInfo &entry : std::as_const(entries)) {
            if (songs.size() >= AddFilesDialog::maxSongs)
                return;
            if (entry.isDir())
                takeFolder(entry);
            else if (entry.isFile() &&
                     PlayListFile::kindOf(entry.filePath()) == PlayListFile::Kind::Song)
                songs << entry.filePath();
        }
    }

private:
    void takeFolder(const QFileInfo &folder)
    {
        const QString canonical = folder.canonicalFilePath();
        if (canonical.isEmpty() || visited.contains(canonical))
            return;
        visited.insert(canonical);
        take(QDir(folder.filePath())
                 .entryInfoList(QDir::Dirs | QDir::Files | QDir::NoDotAndDotDot | QDir::Hidden));
    }

    QSet<QString> visited; // canonical folder paths
};

} // namespace

AddFilesDialog::AddFilesDialog(QWidget *parent, const QString &directory)
    : QFileDialog(parent, QString(), directory, QStringLiteral("*.mp3"))
{
    setFileMode(QFileDialog::ExistingFiles);
    // Qt's own dialog: a native one would not let a folder be chosen among files.
    setOption(QFileDialog::DontUseNativeDialog);
}

QStringList AddFilesDialog::songsOf(const QStringList &chosen)
{
    QFileInfoList entries;
    for (const QString &path : chosen)
        entries << QFileInfo(path);
    SongCollector collector;
    collector.take(entries);
    return collector.songs;
}

void AddFilesDialog::accept()
{
    const QStringList chosen = selectedFiles();
    const bool oneFolder = chosen.size() == 1 && QFileInfo(chosen.first()).isDir();
    const bool allThere = std::all_of(chosen.cbegin(), chosen.cend(),
                                      [](const QString &path) { return QFileInfo::exists(path); });
    if (chosen.isEmpty() || oneFolder || !allThere) {
        QFileDialog::accept(); // opens the folder, or says what is missing
        return;
    }
    QDialog::accept();
    emit songsChosen(songsOf(chosen));
}
