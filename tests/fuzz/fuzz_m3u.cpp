// A whole file as an M3U list (the first byte picks .m3u, guessed encoding, or .m3u8, UTF-8).
#include "fuzzinput.h"
#include "m3ureader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const QString suffix = data[0] % 2 ? QStringLiteral(".m3u8") : QStringLiteral(".m3u");
    QStringList songs;
    QString failure;
    M3uReader::read(FuzzInput::asFile(data + 1, size - 1, suffix), songs, failure);
    return 0;
}
