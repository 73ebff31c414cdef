#include "regularfile.h"

#include "localfilename.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool statOf(const QString &path, struct stat &st)
{
    const QByteArray name = LocalFileName::encode(path);
    return !name.isEmpty() && ::stat(name.constData(), &st) == 0;
}

void say(QString *failure, const QString &text)
{
    if (failure)
        *failure = text;
}

QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

QString RegularFile::notRegularText()
{
    return QStringLiteral("It is not a regular file (a folder, a pipe or a device).");
}

bool RegularFile::isRegular(const QString &path)
{
    struct stat st;
    return statOf(path, st) && S_ISREG(st.st_mode);
}

bool RegularFile::isSpecial(const QString &path)
{
    struct stat st;
    return statOf(path, st) && !S_ISREG(st.st_mode);
}

int RegularFile::open(const QString &path, QString *failure)
{
    return open(LocalFileName::encode(path).constData(), failure);
}

int RegularFile::open(const char *localName, QString *failure)
{
    if (!localName || !*localName) {
        say(failure, systemReason(ENOENT));
        return -1;
    }
    // Not even opened when it is no regular file now; non-blocking, so that a pipe put in its
    // place meanwhile cannot hold the open up either.
    struct stat st;
    if (::stat(localName, &st) == 0 && !S_ISREG(st.st_mode)) {
        say(failure, notRegularText());
        return -1;
    }
    const int fd = ::open(localName, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        say(failure, systemReason(errno));
        return -1;
    }
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        say(failure, notRegularText());
        ::close(fd);
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

bool RegularFile::read(const QString &path, qint64 maxBytes, QByteArray &bytes, QString *failure,
                       const QString &tooLarge)
{
    const int fd = open(path, failure);
    if (fd < 0)
        return false;
    struct stat st;
    if (::fstat(fd, &st) != 0 || st.st_size > maxBytes) {
        say(failure, tooLarge);
        ::close(fd);
        return false;
    }
    // The file may have grown since: one byte more than allowed tells.
    QByteArray read(qsizetype(st.st_size) + 1, Qt::Uninitialized);
    qint64 done = 0;
    for (;;) {
        if (done == read.size()) {
            if (done > maxBytes)
                break;
            read.resize(qsizetype(std::min<qint64>(maxBytes + 1, 2 * done + 4096)));
        }
        const ssize_t n = ::read(fd, read.data() + done, size_t(read.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            say(failure, systemReason(errno));
            ::close(fd);
            return false;
        }
        if (n == 0)
            break;
        done += n;
    }
    ::close(fd);
    if (done > maxBytes) {
        say(failure, tooLarge);
        return false;
    }
    read.truncate(qsizetype(done));
    bytes = read;
    return true;
}
