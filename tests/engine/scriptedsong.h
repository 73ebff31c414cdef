#ifndef SCRIPTEDSONG_H
#define SCRIPTEDSONG_H

#include <QByteArray>

// A stand-in for the decoder library that plays a pretend song of a given number of frames.
// Frame k's sound is a pattern made from k, never a zero sample, so a test can tell every frame
// from silence and from every other frame. Its content bytes are the content stream of the
// lyrics found beside the song (a sidecar .lrc file), so the lyrics decoder shows real pages.
// One thread at a time, like the library.
class ScriptedSong
{
public:
    // A new pretend file of frames frames; Init succeeds when opens is set.
    static void reset(int frames, bool opens = true);
    // The 4608 bytes of sound of frame k (first frame 1).
    static QByteArray framePcm(int frame);
    // Frames handed out by KWO_MP3D_DecodeNextFrame since the last Stop or Init.
    static int framesDecoded();
};

#endif
