#ifndef KARAOKEZIP_H
#define KARAOKEZIP_H

#include <QString>

// A zipped karaoke song: an archive holding X.mp3 and X.cdg under the same name (the case of the
// extensions aside). The first such pair by name is taken, its two files written into a folder
// under fixed names (never names from the archive). Sizes are bounded: an archive of at most
// maxArchiveSize bytes, entries of at most maxEntrySize bytes, and an entry over ratioFreeSize
// may be at most maxRatio times its compressed size (a zip bomb is refused before inflating).
// Any thread.
class KaraokeZip
{
public:
    static constexpr qint64 maxArchiveSize = qint64(400) << 20;
    static constexpr qint64 maxEntrySize = qint64(200) << 20;
    static constexpr qint64 ratioFreeSize = qint64(1) << 20;
    static constexpr qint64 maxRatio = 200;

    struct Pair
    {
        QString audio;    // the written .mp3
        QString graphics; // the written .cdg
    };

    enum class Parts
    {
        Both,
        Audio,   // the .mp3 only, the .cdg's bounds checked all the same
        Graphics // the .cdg only, beside an .mp3 written before
    };

    // Writes the first pair of the regular file zipPath into folder as song.mp3 and song.cdg (or
    // the part asked for). False, with error saying why and nothing left in folder, when there is
    // no pair or the archive is unreadable, damaged or too large.
    static bool extract(const QString &zipPath, const QString &folder, Pair &pair, QString &error,
                        Parts parts = Parts::Both);
};

#endif // KARAOKEZIP_H
