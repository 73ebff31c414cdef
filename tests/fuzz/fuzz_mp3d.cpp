// A whole file through the MP3 decoder library, as the player uses it: opened, a few frames
// decoded, a skip forward, a rewind, then decoded to the end.
#include "fuzzinput.h"
#include "kwo_mp3d.h"

#include <QFile>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray path = QFile::encodeName(FuzzInput::asFile(data, size, ".mp3"));
    StreamInfo info{};
    if ((KWO_MP3D_Init(path.constData(), &info) & 0xFF) == 0)
        return 0;
    static uint8_t pcm[4608];
    uint8_t content[2];
    for (int i = 0; i < 3 && KWO_MP3D_DecodeNextFrame(pcm, content); ++i) {
    }
    KWO_MP3D_Forward(data[0] % 64);
    KWO_MP3D_DecodeNextFrame(pcm, content);
    KWO_MP3D_Stop();
    while (KWO_MP3D_DecodeNextFrame(pcm, content)) {
    }
    KWO_MP3D_Close();
    return 0;
}
