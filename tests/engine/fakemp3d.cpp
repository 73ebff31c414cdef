#include "fakemp3d.h"

#include "kwo_mp3d.h"

#include <cstring>

namespace {
struct State
{
    int frames = 0;
    bool opens = true;
    bool open = false;
    int position = 0; // frames decoded or skipped
    int stopResult = 1;
    int decodes = 0;
    QStringList calls;
    QByteArray path;
} state;
} // namespace

void FakeMp3d::reset(int frames, bool opens)
{
    state = State();
    state.frames = frames;
    state.opens = opens;
}

void FakeMp3d::setStopResult(int result)
{
    state.stopResult = result;
}

QStringList FakeMp3d::calls()
{
    return state.calls;
}

int FakeMp3d::decodeCalls()
{
    return state.decodes;
}

QByteArray FakeMp3d::initPath()
{
    return state.path;
}

int32_t KWO_MP3D_Init(const char *path, StreamInfo *info)
{
    state.calls << "Init";
    state.path = path;
    state.open = state.opens;
    state.position = 0;
    if (state.open) {
        std::memset(info, 0, sizeof *info);
        info->channels = 2;
        info->sampleRate = 44100;
    }
    // Only the low byte counts: 0x100 would be a failure.
    return state.open ? 0x301 : 0x100;
}

int32_t KWO_MP3D_DecodeNextFrame(uint8_t *pcm, uint8_t *content)
{
    ++state.decodes;
    const bool ok = state.open && state.position < state.frames;
    if (ok) {
        const int frame = ++state.position;
        std::memset(pcm, 0, 4608);
        std::memcpy(pcm, &frame, sizeof frame);
        content[0] = uint8_t(frame & 0xff);
        content[1] = uint8_t(frame >> 8);
    }
    state.calls << QStringLiteral("Decode=%1").arg(ok);
    return ok;
}

int32_t KWO_MP3D_Forward(int32_t frames)
{
    const bool ok = state.open && frames >= 0 && frames <= state.frames - state.position;
    state.position = ok ? state.position + frames : state.frames;
    state.calls << QStringLiteral("Forward(%1)=%2").arg(frames).arg(ok);
    return ok;
}

int32_t KWO_MP3D_Stop(void)
{
    if (state.stopResult)
        state.position = 0;
    state.calls << QStringLiteral("Stop=%1").arg(state.stopResult);
    return state.stopResult;
}

int32_t KWO_MP3D_Close(void)
{
    state.open = false;
    state.calls << "Close";
    return 1;
}
