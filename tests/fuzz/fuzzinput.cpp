#include "fuzzinput.h"

#include <QFile>
#include <QTemporaryDir>

QString FuzzInput::asFile(const uint8_t *data, size_t size, const QString &suffix)
{
    static QTemporaryDir dir; // removed when the process ends
    const QString path = dir.filePath(QStringLiteral("input") + suffix);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(reinterpret_cast<const char *>(data), qint64(size)) != qint64(size))
        qFatal("cannot write the fuzz input to %s", qPrintable(path));
    return path;
}
