#ifndef PLAYLISTFILE_H
#define PLAYLISTFILE_H

#include <QByteArray>
#include <QString>
#include <QStringList>

// The .playlist file: the int 0, the count N, then N paths as stream strings (a 32-bit byte
// count, then UTF-16 code units), everything big-endian as a stream of version 3 writes it.
// Paths are Unicode: each character goes out as its UTF-16 code unit, so a list of Latin-1
// paths has one zero high byte per character. Nothing else is stored: not the current song,
// not the repeat setting.
class PlayListFile
{
public:
    // Larger files are refused: a list of the most entries taken, with long paths, is far
    // smaller.
    static constexpr qint64 maxBytes = 64 * 1024 * 1024;
    // Entries after this many are ignored, as in M3U lists.
    static constexpr int maxEntries = 50000;

    enum class Kind
    {
        Song,
        PlayList,
        M3u, // a text list of another player's making (M3uReader)
        Unknown
    };

    // By the text after the last "." anywhere in the path, in any case: "mp3" or "zip" (a zipped
    // karaoke song), "playlist", or "m3u" and "m3u8".
    static Kind kindOf(const QString &path);
    // name with ".playlist" appended unless it already ends with exactly ".playlist" after a
    // "." that is not its first character.
    static QString withSuffix(const QString &name);

    static QByteArray encode(const QStringList &songs);
    // The entries of a whole file; false, with songs untouched, when the tag is not 0 or the
    // bytes end before the N entries or a string they declare. Bytes after the N-th entry are
    // ignored; a count of 0 or less is an empty list. Only the first maxEntries are taken
    // (with a warning); the rest are still checked.
    static bool decode(const QByteArray &bytes, QStringList &songs);

    // The old file is replaced only by a complete new one. On failure, failure gives the
    // system's reason ("No space left on device").
    static bool write(const QString &path, const QStringList &songs, QString &failure);
    // Reads the whole file, only when it is a regular file of at most maxBytes, before decoding
    // it. On failure songs is untouched and failure says why.
    static bool read(const QString &path, QStringList &songs, QString &failure);
};

#endif // PLAYLISTFILE_H
