// Any bytes as a zipped karaoke song: the archive opened, its first pair written out, and the
// graphics read, as loading the song does.
#include "cdgsong.h"
#include "fuzzinput.h"
#include "karaokezip.h"

#include <QTemporaryDir>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir folder; // removed when the process ends
    KaraokeZip::Pair pair;
    QString error;
    if (!KaraokeZip::extract(FuzzInput::asFile(data, size, ".zip"), folder.path(), pair, error))
        return 0;
    CdgSong song;
    if (song.open(pair.graphics))
        song.seek(song.packetCount());
    return 0;
}
