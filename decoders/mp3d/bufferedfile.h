#ifndef BUFFEREDFILE_H
#define BUFFEREDFILE_H

#include <sys/types.h>

#include <cstddef>
#include <memory>
#include <vector>

// A regular file read through a 64 KiB buffer. libmpg123 reads a file frame by frame, a few
// hundred bytes a call; through this buffer a full scan of a song costs a few hundred system
// calls instead of tens of thousands.
class BufferedFile
{
public:
    // Opens path (local 8-bit file-name encoding) only if it is a regular file: a directory, a
    // pipe or a device would fail, block or never end. Null on failure.
    static std::unique_ptr<BufferedFile> open(const char *path);
    ~BufferedFile();
    BufferedFile(const BufferedFile &) = delete;
    BufferedFile &operator=(const BufferedFile &) = delete;

    // Like read(2) and lseek(2), at the file's own position.
    ssize_t read(void *out, size_t count);
    off_t seek(off_t offset, int whence);

private:
    explicit BufferedFile(int fd);
    ssize_t readAt(void *out, size_t count, off_t at);

    int fd = -1;
    off_t position = 0;
    std::vector<unsigned char> buffer;
    off_t bufferStart = 0; // file offset of buffer[0]
    size_t bufferFill = 0; // valid bytes in buffer
};

#endif
