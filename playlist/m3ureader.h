#ifndef M3UREADER_H
#define M3UREADER_H

#include <QString>
#include <QStringList>

// Reads the songs of an M3U or M3U8 list, a plain text file of one entry a line as many players
// and file managers write them. Such files come from anywhere, so the reader is bounded and takes
// only lines that can name a local file:
//  - ".m3u8" is UTF-8; ".m3u" is UTF-8 when its bytes are valid UTF-8 and otherwise in an 8-bit
//    or multi-byte encoding guessed from the bytes (byte-order marks are honoured);
//  - blank lines and "#" lines (#EXTM3U, #EXTINF and the like) are skipped, CRLF ends a line too;
//  - "file://" URLs are decoded, other URLs skipped; "\" separators become "/";
//  - relative entries are resolved against the list's own folder; every entry comes out as a
//    clean absolute path;
//  - lines longer than any path can be, or holding control characters, are skipped.
class M3uReader
{
public:
    // Larger files are refused: even a list of tens of thousands of songs is far smaller.
    static constexpr qint64 maxBytes = 16 * 1024 * 1024;
    // Longer lines cannot name a file.
    static constexpr int maxLineLength = 4096;
    // Entries after this many are ignored.
    static constexpr int maxEntries = 50000;

    // The file dialogs' choice of these lists.
    static QString nameFilter();
    // The entries of the list at path, in order. False, with songs untouched and failure saying
    // why, when the file cannot be read, is too large or is not text (it holds NUL characters).
    static bool read(const QString &path, QStringList &songs, QString &failure);
};

#endif // M3UREADER_H
