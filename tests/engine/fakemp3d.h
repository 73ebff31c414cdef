#ifndef FAKEMP3D_H
#define FAKEMP3D_H

#include <QStringList>

// A stand-in for the decoder library: the five KWO_MP3D_ functions over a pretend file of
// `frames` frames, logging every call with its result ("Forward(999)=1", "Decode=0"). Frame k's
// PCM starts with k as a 32-bit little-endian integer.
namespace FakeMp3d {

struct State
{
    int frames = 0;
    bool opens = true;  // KWO_MP3D_Init succeeds
    int stopResult = 1; // what KWO_MP3D_Stop returns
    bool open = false;
    int position = 0; // frames decoded or skipped
    int decodes = 0;
    QStringList calls;
};
extern State state;

// A new pretend file and an empty log.
inline void reset(int frames, bool opens = true)
{
    state = State();
    state.frames = frames;
    state.opens = opens;
}

} // namespace FakeMp3d

#endif
