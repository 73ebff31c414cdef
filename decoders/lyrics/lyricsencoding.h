#ifndef LYRICSENCODING_H
#define LYRICSENCODING_H

#include <QString>

class QByteArray;

// Turns the bytes of a lyrics file into text, whatever encoding its author's editor used.
class LyricsEncoding
{
public:
    // A byte-order mark decides (UTF-8, UTF-16 and UTF-32, either byte order); without one,
    // bytes that are valid UTF-8 are UTF-8; anything else is a legacy 8-bit or multi-byte
    // encoding guessed from the bytes (GBK, Big5, Shift-JIS, Windows-1252, ...), Windows-1252
    // when no guess can be made. Never fails: undecodable bytes become U+FFFD.
    static QString decode(const QByteArray &bytes);
    // The encoding decode() would pick for bytes without a byte-order mark that are not UTF-8.
    static QByteArray guessLegacy(const QByteArray &bytes);
};

#endif
