#ifndef FUZZINPUT_H
#define FUZZINPUT_H

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

// What one fuzz run is handed, as the program meets it: bytes in memory, or a file on disk.
namespace FuzzInput {

inline QByteArray bytes(const uint8_t *data, size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), qsizetype(size));
}

// Writes the bytes to this process's own scratch file with the given suffix and returns its
// path; the file is rewritten by every run.
QString asFile(const uint8_t *data, size_t size, const QString &suffix);

} // namespace FuzzInput

#endif
