#ifndef FAKEMP3D_H
#define FAKEMP3D_H

#include <QByteArray>
#include <QStringList>

// A stand-in for the decoder library: the five KWO_MP3D_ functions over a pretend file of a
// given number of frames, logging every call with its result ("Forward(999)=1", "Decode=0").
// Frame k's PCM starts with k as a 32-bit little-endian integer and its content bytes are
// k & 0xff, k >> 8.
class FakeMp3d
{
public:
    // A new pretend file; Init succeeds when opens is set. Clears the log.
    static void reset(int frames, bool opens = true);
    // What KWO_MP3D_Stop returns from now on (1 unless changed).
    static void setStopResult(int result);

    static QStringList calls();
    static int decodeCalls();
    static QByteArray initPath(); // the bytes KWO_MP3D_Init received
};

#endif
