#ifndef LOCALFILENAME_H
#define LOCALFILENAME_H

#include <QByteArray>
#include <QString>

// File names as the system spells them, which are bytes and need not be valid UTF-8 (a song
// copied from an old Latin-1 disk, say). Qt's own conversion turns every invalid byte into
// U+FFFD, so such a file could never be opened again. Here each byte that is not part of valid
// UTF-8 becomes one of the lone low surrogates U+DC80 to U+DCFF, and goes back to the same byte:
// decode and encode are exact inverses for any name. Valid UTF-8 reads as it always did.
// Any thread.
class LocalFileName
{
public:
    static QString decode(const QByteArray &name);
    static QByteArray encode(const QString &name);
    // The local file of a file: URL by its bytes (percent escapes that are not UTF-8 kept as
    // they are); empty when url names no local file.
    static QString fromUrl(const QString &url);
};

#endif // LOCALFILENAME_H
