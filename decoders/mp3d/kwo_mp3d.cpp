#include "kwo_mp3d.h"

#include "mp3stream.h"

#include <cstring>

// The library holds one open file. All calls come from one thread (the player's GUI thread),
// so the state needs no lock.
namespace {
std::unique_ptr<Mp3Stream> stream;
}

int32_t KWO_MP3D_Init(const char *path, StreamInfo *info)
{
    stream.reset();
    if (!path || !info)
        return 0;
    stream = Mp3Stream::open(path);
    if (!stream)
        return 0;
    std::memset(info, 0, sizeof *info);
    info->channels = Mp3Stream::channels;
    info->sampleRate = Mp3Stream::sampleRate;
    return 1;
}

int32_t KWO_MP3D_DecodeNextFrame(uint8_t *pcm, uint8_t *content)
{
    if (!stream || !pcm || !content)
        return 0;
    return stream->decodeNextFrame(pcm, content) ? 1 : 0;
}

int32_t KWO_MP3D_Forward(int32_t frames)
{
    if (!stream)
        return 0;
    return stream->forward(frames) ? 1 : 0;
}

int32_t KWO_MP3D_Stop(void)
{
    if (!stream)
        return 0;
    stream->rewind();
    return 1;
}

int32_t KWO_MP3D_Close(void)
{
    const bool wasOpen = stream != nullptr;
    stream.reset();
    return wasOpen ? 1 : 0;
}
