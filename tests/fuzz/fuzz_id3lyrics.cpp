// A whole file as a song whose ID3v2 tag may hold lyrics (SYLT, or USLT holding LRC).
#include "fuzzinput.h"
#include "id3lyrics.h"
#include "pagebuilder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    PageBuilder::build(Id3Lyrics::read(FuzzInput::asFile(data, size, QStringLiteral(".mp3"))));
    return 0;
}
