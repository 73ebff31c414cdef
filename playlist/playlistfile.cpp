#include "playlistfile.h"

#include "regularfile.h"

#include <QDataStream>
#include <QSaveFile>
#include <QtEndian>

#include <algorithm>

namespace {

constexpr qint32 formatTag = 0;
constexpr quint32 nullString = 0xffffffffu;

// Reads big-endian values from a byte array, refusing any that would run past its end.
class Cursor
{
public:
    explicit Cursor(const QByteArray &bytes) : bytes(bytes) {}

    qint64 remaining() const { return bytes.size() - position; }

    // Steps over a string as takeString would read it, without making it.
    bool skipString()
    {
        quint32 length = 0;
        if (!take32(length))
            return false;
        if (length == nullString)
            return true;
        if (length % 2 != 0 || length > quint64(remaining()))
            return false;
        position += length;
        return true;
    }

    bool take32(quint32 &value)
    {
        if (remaining() < 4)
            return false;
        value = qFromBigEndian<quint32>(bytes.constData() + position);
        position += 4;
        return true;
    }

    bool takeString(QString &text)
    {
        quint32 length = 0;
        if (!take32(length))
            return false;
        if (length == nullString) {
            text = QString();
            return true;
        }
        if (length % 2 != 0 || length > quint64(remaining()))
            return false;
        text.resize(qsizetype(length / 2));
        const char *units = bytes.constData() + position;
        for (qsizetype index = 0; index < text.size(); ++index)
            text[index] = QChar(qFromBigEndian<quint16>(units + 2 * index));
        position += length;
        return true;
    }

private:
    const QByteArray &bytes;
    qint64 position = 0;
};

} // namespace

PlayListFile::Kind PlayListFile::kindOf(const QString &path)
{
    const QString extension = path.mid(path.lastIndexOf(QLatin1Char('.')) + 1);
    // A zipped karaoke song (an .mp3 with its CD+G graphics) is a song too.
    if (extension.compare(QLatin1String("mp3"), Qt::CaseInsensitive) == 0 ||
        extension.compare(QLatin1String("zip"), Qt::CaseInsensitive) == 0)
        return Kind::Song;
    if (extension.compare(QLatin1String("playlist"), Qt::CaseInsensitive) == 0)
        return Kind::PlayList;
    if (extension.compare(QLatin1String("m3u"), Qt::CaseInsensitive) == 0 ||
        extension.compare(QLatin1String("m3u8"), Qt::CaseInsensitive) == 0)
        return Kind::M3u;
    return Kind::Unknown;
}

QString PlayListFile::withSuffix(const QString &name)
{
    const QLatin1String suffix(".playlist");
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot <= 0 || name.mid(dot) != suffix)
        return name + suffix;
    return name;
}

QByteArray PlayListFile::encode(const QStringList &songs)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_2_1);
    out << formatTag << qint32(songs.size());
    for (const QString &song : songs)
        out << song;
    return bytes;
}

bool PlayListFile::decode(const QByteArray &bytes, QStringList &songs)
{
    Cursor in(bytes);
    quint32 tag = 1;
    quint32 count = 0;
    if (!in.take32(tag) || qint32(tag) != formatTag || !in.take32(count))
        return false;
    // Every entry takes at least its 4-byte length: a count the rest of the file cannot hold
    // is refused before anything is read, and nothing is reserved for it.
    const qint64 entries = qint32(count);
    if (entries > in.remaining() / 4)
        return false;
    QStringList read;
    for (qint64 entry = 0; entry < entries; ++entry) {
        QString song;
        if (entry >= maxEntries ? !in.skipString() : !in.takeString(song))
            return false;
        if (entry < maxEntries)
            read.append(song);
    }
    if (entries > maxEntries)
        qWarning("Only the first %d entries of the playlist are taken.", maxEntries);
    songs = read;
    return true;
}

bool PlayListFile::write(const QString &path, const QStringList &songs, QString &failure)
{
    const QByteArray bytes = encode(songs);
    // Unbuffered, so that a short write (a full disk) shows in write()'s count instead of
    // committing a truncated file at the final flush. A short write is followed by another for
    // the rest, which fails with the system's reason.
    QSaveFile file(path);
    bool written = file.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    for (qint64 done = 0; written && done < bytes.size();) {
        const qint64 n = file.write(bytes.constData() + done, bytes.size() - done);
        written = n > 0;
        done += std::max<qint64>(n, 0);
    }
    if (written && file.commit())
        return true;
    failure = file.errorString();
    file.cancelWriting();
    return false;
}

bool PlayListFile::read(const QString &path, QStringList &songs, QString &failure)
{
    QByteArray bytes;
    if (!RegularFile::read(path, maxBytes, bytes, &failure,
                           QStringLiteral("It is too large to be a playlist.")))
        return false;
    if (!decode(bytes, songs)) {
        failure = QStringLiteral("It is not a playlist file, or it is damaged or cut short.");
        return false;
    }
    return true;
}
