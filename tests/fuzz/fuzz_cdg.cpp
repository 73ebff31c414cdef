// Any bytes as a .cdg file: read, played through, and the screen reached by jumps back and forth
// across the stored copies, as the display does on a rewind or a seek.
#include "cdgsong.h"
#include "fuzzinput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    CdgSong song;
    if (!song.open(FuzzInput::asFile(data, size, ".cdg")))
        return 0;
    const int count = song.packetCount();
    for (int stop : {count, count / 2, 1, count - 1, 0, count + 5}) {
        song.seek(stop);
        song.screen().takeChangedArea();
    }
    song.screen().image();
    return 0;
}
