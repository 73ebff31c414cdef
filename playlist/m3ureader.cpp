#include "m3ureader.h"

#include "lyricsencoding.h"
#include "regularfile.h"

#include <QDir>
#include <QFileInfo>
#include <QStringDecoder>
#include <QUrl>

#include <algorithm>

namespace {

QString textOf(const QByteArray &bytes, bool utf8)
{
    if (utf8)
        return QStringDecoder(QStringConverter::Utf8).decode(bytes); // a byte-order mark is dropped
    // The same rule as for lyrics files: a byte-order mark, else UTF-8 when valid, else a guess.
    return LyricsEncoding::decode(bytes);
}

bool hasControlCharacter(const QString &line)
{
    return std::any_of(line.begin(), line.end(),
                       [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7f; });
}

// The local file a line names, as a clean absolute path; empty when it names none.
QString entryOf(const QString &raw, const QDir &folder)
{
    QString line = raw.trimmed(); // also the "\r" of CRLF
    if (line.isEmpty() || line.startsWith(QLatin1Char('#')) ||
        line.size() > M3uReader::maxLineLength || hasControlCharacter(line))
        return QString();
    QString local;
    if (line.startsWith(QLatin1String("file:"), Qt::CaseInsensitive)) {
        QUrl url(line);
        if (url.host() == QLatin1String("localhost"))
            url.setHost(QString());
        local = url.toLocalFile(); // escapes decoded; a host gives a share, "//host/..."
    } else if (line.contains(QLatin1String("://"))) {
        return QString(); // a stream or another scheme: nothing the player can open
    } else {
        // Lists written on Windows separate folders with "\", which no file name here holds.
        local = line.replace(QLatin1Char('\\'), QLatin1Char('/'));
    }
    return local.isEmpty() ? QString() : QDir::cleanPath(folder.absoluteFilePath(local));
}

} // namespace

QString M3uReader::nameFilter()
{
    return QStringLiteral("M3U playlists (*.m3u *.m3u8)");
}

bool M3uReader::read(const QString &path, QStringList &songs, QString &failure)
{
    QByteArray bytes;
    if (!RegularFile::read(path, maxBytes, bytes, &failure,
                           QStringLiteral("It is too large to be a playlist.")))
        return false;
    const QString text = textOf(bytes, path.endsWith(QLatin1String(".m3u8"), Qt::CaseInsensitive));
    if (text.contains(QChar(0))) {
        failure = QStringLiteral("It is not a text file.");
        return false;
    }
    const QDir folder = QFileInfo(path).absoluteDir();
    QStringList read;
    for (const QString &line : text.split(QLatin1Char('\n'))) {
        const QString entry = entryOf(line, folder);
        if (entry.isEmpty())
            continue;
        if (read.size() == maxEntries) {
            qWarning("Only the first %d entries of %s are taken.", maxEntries,
                     qUtf8Printable(path));
            break;
        }
        read.append(entry);
    }
    songs = read;
    return true;
}
