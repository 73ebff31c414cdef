#include "karaokezip.h"

#include <QFile>
#include <QMap>
#include <QtDebug>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

namespace {

struct ArchiveCloser
{
    void operator()(zip_t *archive) const { zip_discard(archive); }
};
using Archive = std::unique_ptr<zip_t, ArchiveCloser>;

struct EntryCloser
{
    void operator()(zip_file_t *entry) const { zip_fclose(entry); }
};
using Entry = std::unique_ptr<zip_file_t, EntryCloser>;

// The archive of a regular file of bounded size, opened without waiting on a FIFO or device.
Archive openArchive(const QString &path, QString &error)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = QString::fromLocal8Bit(std::strerror(errno));
        return nullptr;
    }
    struct stat status = {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode))
        error = QStringLiteral("not a regular file");
    else if (status.st_size > KaraokeZip::maxArchiveSize)
        error = QStringLiteral("the archive is too large");
    int code = 0;
    zip_t *archive = error.isEmpty() ? zip_fdopen(fd, ZIP_CHECKCONS, &code) : nullptr;
    if (!archive) {
        ::close(fd); // libzip owns the descriptor only once it opened
        if (error.isEmpty()) {
            zip_error_t failure;
            zip_error_init_with_code(&failure, code);
            error = QString::fromUtf8(zip_error_strerror(&failure));
            zip_error_fini(&failure);
        }
    }
    return Archive(archive);
}

// Entry names without their extension, for each of the two kinds, by that name.
struct Candidates
{
    QMap<QString, zip_uint64_t> audio;
    QMap<QString, zip_uint64_t> graphics;
};

Candidates listCandidates(zip_t *archive)
{
    Candidates found;
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    for (zip_int64_t index = 0; index < count; ++index) {
        const char *raw = zip_get_name(archive, zip_uint64_t(index), 0);
        if (!raw)
            continue;
        const QString name = QString::fromUtf8(raw);
        if (name.endsWith(QLatin1Char('/')))
            continue; // a folder
        const QString base = name.left(name.size() - 4).toLower(); // Song.MP3 pairs with song.cdg
        if (name.endsWith(QLatin1String(".mp3"), Qt::CaseInsensitive))
            found.audio.insert(base, zip_uint64_t(index));
        else if (name.endsWith(QLatin1String(".cdg"), Qt::CaseInsensitive))
            found.graphics.insert(base, zip_uint64_t(index));
    }
    return found;
}

// The entry's size when it can be read and is within the bounds: at most maxEntrySize, and past
// ratioFreeSize at most maxRatio times its compressed size; -1 otherwise, with error saying why.
qint64 checkedSize(zip_t *archive, zip_uint64_t index, QString &error)
{
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(archive, index, 0, &stat) != 0 || !(stat.valid & ZIP_STAT_SIZE) ||
        !(stat.valid & ZIP_STAT_COMP_SIZE)) {
        error = QStringLiteral("an entry cannot be read");
        return -1;
    }
    const qint64 size = qint64(std::min<zip_uint64_t>(stat.size, zip_uint64_t(1) << 62));
    const qint64 compressed = qint64(std::min<zip_uint64_t>(stat.comp_size, zip_uint64_t(1) << 62));
    if (size > KaraokeZip::maxEntrySize ||
        (size > KaraokeZip::ratioFreeSize && size / KaraokeZip::maxRatio > compressed)) {
        error = QStringLiteral("an entry is too large");
        return -1;
    }
    return size;
}

// Inflates one entry of the given checked size into path, never writing more.
bool writeEntry(zip_t *archive, zip_uint64_t index, qint64 size, const QString &path, QString &error)
{
    Entry entry(zip_fopen_index(archive, index, 0));
    QFile file(path); // a private folder: a failed write is removed, and nothing needs a sync
    if (!entry || !file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        error = entry ? file.errorString() : QString::fromUtf8(zip_strerror(archive));
        return false;
    }
    char chunk[64 * 1024];
    qint64 written = 0;
    for (;;) {
        const zip_int64_t got = zip_fread(entry.get(), chunk, sizeof chunk);
        if (got < 0 || written + got > size) {
            error = got < 0 ? QString::fromUtf8(zip_file_strerror(entry.get()))
                            : QStringLiteral("an entry is longer than it says");
            return false;
        }
        if (got == 0)
            break;
        if (file.write(chunk, got) != got) {
            error = file.errorString();
            return false;
        }
        written += got;
    }
    return true;
}

} // namespace

bool KaraokeZip::extract(const QString &zipPath, const QString &folder, Pair &pair, QString &error,
                         Parts parts)
{
    error.clear();
    Archive archive = openArchive(zipPath, error);
    if (!archive)
        return false;
    const Candidates found = listCandidates(archive.get());
    QStringList pairs;
    for (auto it = found.audio.cbegin(); it != found.audio.cend(); ++it) {
        if (found.graphics.contains(it.key()))
            pairs << it.key();
    }
    if (pairs.isEmpty()) {
        error = QStringLiteral("no .mp3 and .cdg of the same name");
        return false;
    }
    if (pairs.size() > 1)
        qInfo("%s holds %d songs; playing the first by name, %s", qUtf8Printable(zipPath),
              int(pairs.size()), qUtf8Printable(pairs.first()));
    const zip_uint64_t audio = found.audio.value(pairs.first());
    const zip_uint64_t graphics = found.graphics.value(pairs.first());
    const qint64 audioSize = checkedSize(archive.get(), audio, error);
    const qint64 graphicsSize = audioSize < 0 ? -1 : checkedSize(archive.get(), graphics, error);
    if (graphicsSize < 0)
        return false;
    Pair written{folder + QStringLiteral("/song.mp3"), folder + QStringLiteral("/song.cdg")};
    if ((parts != Parts::Graphics &&
         !writeEntry(archive.get(), audio, audioSize, written.audio, error)) ||
        (parts != Parts::Audio &&
         !writeEntry(archive.get(), graphics, graphicsSize, written.graphics, error))) {
        if (parts != Parts::Graphics)
            QFile::remove(written.audio);
        QFile::remove(written.graphics);
        return false;
    }
    pair = written;
    return true;
}
