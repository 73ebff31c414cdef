#include "extrasettings.h"

#include "preferences.h"

#include <QFileInfo>
#include <QJsonDocument>
#include <QSaveFile>
#include <QtDebug>

#include <cmath>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The file's bytes when it is a regular file of sane size; empty otherwise. Opened non-blocking
// and checked after opening, so a FIFO or device put in its place cannot hold the program.
QByteArray readRegularFile(const QString &fileName)
{
    const int fd = ::open(QFile::encodeName(fileName).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return {};
    struct stat status {};
    QByteArray bytes;
    if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) &&
        status.st_size <= ExtraSettings::maxFileSize) {
        bytes.resize(static_cast<qsizetype>(status.st_size));
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t got = ::read(fd, bytes.data() + done, static_cast<size_t>(bytes.size() - done));
            if (got <= 0)
                break;
            done += got;
        }
        bytes.truncate(done);
    }
    ::close(fd);
    return bytes;
}

} // namespace

ExtraSettings &ExtraSettings::instance()
{
    static std::unique_ptr<ExtraSettings> store;
    const QString preferencesFile = Preferences::hasAnInstance() ? Preferences::Instance()->file()
                                                                 : Preferences::standardFileName();
    const QString wanted = QFileInfo(preferencesFile).absolutePath() + QLatin1Char('/') +
                           QLatin1String(fileBaseName);
    if (!store || store->path != wanted)
        store = std::make_unique<ExtraSettings>(wanted);
    return *store;
}

ExtraSettings::ExtraSettings(const QString &fileName) : path(fileName)
{
    readFile();
}

void ExtraSettings::readFile()
{
    const QJsonDocument document = QJsonDocument::fromJson(readRegularFile(path));
    values = document.isObject() ? document.object() : QJsonObject();
}

bool ExtraSettings::boolValue(const QString &key, bool fallback) const
{
    const QJsonValue value = values.value(key);
    return value.isBool() ? value.toBool() : fallback;
}

int ExtraSettings::intValue(const QString &key, int fallback, int min, int max) const
{
    const double value = realValue(key, fallback, min, max);
    return value == std::floor(value) ? static_cast<int>(value) : fallback;
}

double ExtraSettings::realValue(const QString &key, double fallback, double min, double max) const
{
    const QJsonValue value = values.value(key);
    if (!value.isDouble())
        return fallback;
    const double number = value.toDouble();
    return std::isfinite(number) && number >= min && number <= max ? number : fallback;
}

QString ExtraSettings::stringValue(const QString &key, const QString &fallback, int maxLength) const
{
    const QJsonValue value = values.value(key);
    if (!value.isString())
        return fallback;
    const QString text = value.toString();
    if (text.size() > maxLength)
        return fallback;
    for (const QChar c : text) {
        if (c.category() == QChar::Other_Control)
            return fallback;
    }
    return text;
}

bool ExtraSettings::setValue(const QString &key, const QJsonValue &value)
{
    if (values.value(key) == value)
        return true;
    values.insert(key, value);
    return writeFile();
}

bool ExtraSettings::writeFile()
{
    const QByteArray bytes = QJsonDocument(values).toJson(QJsonDocument::Indented);
    // Unbuffered, so that a short write (a full disk) shows in write()'s count.
    QSaveFile file(path);
    bool written = file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) &&
                   file.write(bytes) == bytes.size();
    if (written)
        written = file.commit();
    else
        file.cancelWriting();
    if (!written && !warnedOfWriteError) {
        qWarning() << "Unable to write the settings file" << path << ":" << file.errorString();
        warnedOfWriteError = true;
    }
    if (written)
        warnedOfWriteError = false;
    return written;
}
