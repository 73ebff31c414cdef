// LRC lyrics in any encoding: bytes, a lyric sheet, the pages the display shows, the content
// stream that carries them.
#include "contentstream.h"
#include "fuzzinput.h"
#include "lrcparser.h"
#include "pagebuilder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const LyricSheet sheet = LrcParser::parse(FuzzInput::bytes(data, size));
    ContentStream::encode(PageBuilder::build(sheet));
    return 0;
}
