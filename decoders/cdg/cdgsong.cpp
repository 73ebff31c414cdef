#include "cdgsong.h"

#include "frametiming.h"

#include <QFile>

#include <algorithm>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The whole of a regular file of at most limit bytes, opened without waiting on a FIFO or a
// device.
bool readRegularFile(const QString &path, qint64 limit, QByteArray &bytes, QString &error)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    struct stat status = {};
    bool ok = ::fstat(fd, &status) == 0;
    if (!ok || !S_ISREG(status.st_mode))
        error = QStringLiteral("not a regular file");
    else if (status.st_size > limit)
        error = QStringLiteral("larger than %1 bytes").arg(limit);
    ok = error.isEmpty();
    if (ok) {
        bytes.resize(qsizetype(status.st_size));
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t got = ::read(fd, bytes.data() + done, size_t(bytes.size() - done));
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                break;
            done += got;
        }
        bytes.truncate(done); // a file that shrank meanwhile
    }
    ::close(fd);
    return ok;
}

} // namespace

bool CdgSong::open(const QString &path, QString *error)
{
    QByteArray bytes;
    QString failure;
    const bool ok = readRegularFile(path, maxFileSize, bytes, failure);
    if (error)
        *error = failure;
    setBytes(ok ? bytes : QByteArray());
    return ok;
}

void CdgSong::setBytes(const QByteArray &bytes)
{
    packets = bytes.left(bytes.size() - bytes.size() % CdgScreen::packetSize);
    const int count = packetCount();
    interval = std::max(snapshotInterval, count / maxSnapshots + 1);
    snapshots.clear();
    changes = 0;
    CdgScreen screen;
    const auto *packet = reinterpret_cast<const uint8_t *>(packets.constData());
    for (int n = 0; n < count; ++n, packet += CdgScreen::packetSize) {
        if (n % interval == 0)
            snapshots.push_back(screen);
        if (screen.apply(packet))
            ++changes;
    }
    current = CdgScreen();
    applied = 0;
}

bool CdgSong::seek(int count)
{
    count = std::clamp(count, 0, packetCount());
    bool jumped = false;
    if (count < applied || count - applied > interval) {
        const int k = count / interval;
        if (k < int(snapshots.size())) {
            current = snapshots[k];
            applied = k * interval;
        } else {
            current = CdgScreen();
            applied = 0;
        }
        current.markChanged();
        jumped = true;
    }
    bool any = jumped;
    const auto *packet =
        reinterpret_cast<const uint8_t *>(packets.constData()) + qsizetype(applied) * CdgScreen::packetSize;
    for (; applied < count; ++applied, packet += CdgScreen::packetSize)
        any = current.apply(packet) || any;
    return any;
}

int CdgSong::packetsForFrame(int frame)
{
    if (frame < 1)
        return 0;
    const qint64 samples = qint64(frame - 1) * FrameTiming::samplesPerFrame;
    return int(samples * packetsPerSecond / 44100 + 1);
}
