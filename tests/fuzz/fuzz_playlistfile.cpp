// A whole file as a .playlist file.
#include "fuzzinput.h"
#include "playlistfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QStringList songs;
    QString failure;
    PlayListFile::read(FuzzInput::asFile(data, size, QStringLiteral(".playlist")), songs, failure);
    return 0;
}
