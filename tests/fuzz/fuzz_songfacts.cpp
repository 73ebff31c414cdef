// A whole file as a library song (the first byte picks .mp3 or .zip): its tags, ReplayGain,
// lyrics marks or zipped pair, and for an MP3 its loudness.
#include "fuzzinput.h"
#include "loudnessmeter.h"
#include "songfacts.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const bool zip = data[0] % 2;
    const QString path =
        FuzzInput::asFile(data + 1, size - 1, zip ? QStringLiteral(".zip") : QStringLiteral(".mp3"));
    SongFacts::read(path);
    if (!zip)
        LoudnessMeter::measure(path);
    return 0;
}
