#include "bufferedfile.h"

#include "regularfile.h"

#include <QtDebug>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr size_t bufferBytes = 64 * 1024;
}

std::unique_ptr<BufferedFile> BufferedFile::open(const char *path)
{
    QString failure;
    const int fd = RegularFile::open(path, &failure);
    if (fd < 0) {
        qDebug("KWO MP3 Decoder: cannot open %s: %s", path, qPrintable(failure));
        return nullptr;
    }
    return std::unique_ptr<BufferedFile>(new BufferedFile(fd));
}

BufferedFile::BufferedFile(int fd) : fd(fd), buffer(bufferBytes) {}

BufferedFile::~BufferedFile()
{
    ::close(fd);
}

ssize_t BufferedFile::read(void *out, size_t count)
{
    auto *target = static_cast<unsigned char *>(out);
    size_t done = 0;
    while (done < count) {
        const off_t inBuffer = position - bufferStart;
        if (inBuffer >= 0 && size_t(inBuffer) < bufferFill) {
            const size_t n = std::min(count - done, bufferFill - size_t(inBuffer));
            std::memcpy(target + done, buffer.data() + inBuffer, n);
            done += n;
            position += off_t(n);
            continue;
        }
        // Large reads go straight to the caller; small ones refill the buffer first.
        const bool direct = count - done >= buffer.size();
        const ssize_t n = direct ? readAt(target + done, count - done, position)
                                 : readAt(buffer.data(), buffer.size(), position);
        if (n < 0)
            return done ? ssize_t(done) : -1;
        if (n == 0)
            break; // end of file
        if (direct) {
            done += size_t(n);
            position += n;
        } else {
            bufferStart = position;
            bufferFill = size_t(n);
        }
    }
    return ssize_t(done);
}

ssize_t BufferedFile::readAt(void *out, size_t count, off_t at)
{
    for (;;) {
        const ssize_t n = ::pread(fd, out, count, at);
        if (n >= 0 || errno != EINTR)
            return n;
    }
}

off_t BufferedFile::seek(off_t offset, int whence)
{
    off_t base = 0;
    if (whence == SEEK_CUR) {
        base = position;
    } else if (whence == SEEK_END) {
        struct stat st;
        if (::fstat(fd, &st) != 0)
            return -1;
        base = st.st_size;
    } else if (whence != SEEK_SET) {
        errno = EINVAL;
        return -1;
    }
    if (offset < -base || offset > std::numeric_limits<off_t>::max() - base) {
        errno = EINVAL;
        return -1;
    }
    position = base + offset;
    return position;
}
