#ifndef KARAOKEFILES_H
#define KARAOKEFILES_H

#include <QString>

// Where a song's sound and CD+G graphics come from. A song is an .mp3, its graphics the .cdg of
// the same name beside it (any case of the extension); or a .zip holding such a pair, written
// into a private temporary folder that goes when the program ends. The last archive opened is
// kept extracted, so the engines that replace each other on a stop or a jump find it at once.
// Any thread; the extraction is guarded by a lock.
class KaraokeFiles
{
public:
    // The open dialogs' choice of karaoke songs: "Karaoke (*.mp3 *.zip)".
    static QString nameFilter() { return QStringLiteral("Karaoke (*.mp3 *.zip)"); }
    // A path ending in .zip, in any case.
    static bool isArchive(const QString &path);
    // The file to decode the sound from: song itself, or the extracted .mp3 of a .zip (empty when
    // the archive holds no pair it could extract).
    static QString audioFile(const QString &song);
    // The .cdg that goes with song, or empty when there is none.
    static QString graphicsFile(const QString &song);
};

#endif // KARAOKEFILES_H
