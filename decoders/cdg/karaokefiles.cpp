#include "karaokefiles.h"

#include "karaokezip.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QTemporaryDir>
#include <QtDebug>

#include <memory>

namespace {

// The archive last extracted, and what came of it.
struct Extracted
{
    QString archive;
    QDateTime modified;
    qint64 size = -1;
    bool ok = false;
    bool graphicsWritten = false;
    KaraokeZip::Pair pair;
};

QMutex extractionLock;                // guards folder and last
std::unique_ptr<QTemporaryDir> folder; // removed with its contents when the program ends
Extracted last;

// The pair of archive, extracted unless it was the last one and has not changed since. The sound
// comes first; the graphics, when wanted, are written beside it.
Extracted pairOf(const QString &archive, bool graphicsWanted)
{
    QMutexLocker locker(&extractionLock); // guards folder and last
    const QFileInfo info(archive);
    const bool known = last.archive == archive && last.modified == info.lastModified() &&
                       last.size == info.size();
    if (known && (!last.ok || last.graphicsWritten || !graphicsWanted))
        return last;
    if (!folder)
        folder = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/vantrelkivo-XXXXXX"));
    using Parts = KaraokeZip::Parts;
    const Parts parts = known ? Parts::Graphics : graphicsWanted ? Parts::Both : Parts::Audio;
    if (!known)
        last = Extracted{archive, info.lastModified(), info.size(), false, false, {}};
    QString error;
    if (!folder->isValid())
        error = QStringLiteral("no temporary folder");
    else
        last.ok = KaraokeZip::extract(archive, folder->path(), last.pair, error, parts);
    last.graphicsWritten = last.ok && parts != Parts::Audio;
    if (!last.ok)
        qWarning("Unable to open the karaoke archive %s: %s", qUtf8Printable(archive),
                 qUtf8Printable(error));
    return last;
}

} // namespace

bool KaraokeFiles::isArchive(const QString &path)
{
    return path.endsWith(QLatin1String(".zip"), Qt::CaseInsensitive);
}

QString KaraokeFiles::audioFile(const QString &song)
{
    if (!isArchive(song))
        return song;
    const Extracted extracted = pairOf(song, false);
    return extracted.ok ? extracted.pair.audio : QString();
}

QString KaraokeFiles::graphicsFile(const QString &song)
{
    if (isArchive(song)) {
        const Extracted extracted = pairOf(song, true);
        return extracted.ok ? extracted.pair.graphics : QString();
    }
    const QFileInfo info(song);
    const QDir folder = info.dir();
    const QString base = info.completeBaseName();
    for (const QString &name : folder.entryList({base + QStringLiteral(".*")}, QDir::Files)) {
        if (name.size() == base.size() + 4 && name.endsWith(QLatin1String(".cdg"), Qt::CaseInsensitive))
            return folder.filePath(name);
    }
    return QString();
}
