#ifndef SCRIPTEDSONG_H
#define SCRIPTEDSONG_H

#include <QStringList>

// A stand-in for the decoder library: a pretend song of `frames` frames. Frame k's sound starts
// with k as a 32-bit integer; its content bytes are the content stream of the lyrics beside the
// song (a sidecar .lrc file), so the lyrics decoder shows real pages. It counts the decodes and
// logs the calls that open, rewind and close. One thread at a time, like the library.
namespace ScriptedSong {

struct Library
{
    int frames = 0;
    bool opens = true;   // KWO_MP3D_Init succeeds
    bool rewinds = true; // KWO_MP3D_Stop succeeds
    bool open = false;
    int position = 0; // frames decoded or skipped
    int decodes = 0;
    QStringList calls; // "Init", "Stop", "Close"
};
extern Library song;

// A new pretend file and an empty log.
void reset(int frames, bool opens = true);

} // namespace ScriptedSong

#endif
