#include "scriptedsong.h"

#include "contentstream.h"
#include "kwo_mp3d.h"
#include "songlyrics.h"

#include <QFile>

#include <cstring>

using ScriptedSong::song;

ScriptedSong::Library ScriptedSong::song;

namespace {
ContentStream content;
}

void ScriptedSong::reset(int frames, bool opens)
{
    song = Library();
    song.frames = frames;
    song.opens = opens;
}

int32_t KWO_MP3D_Init(const char *path, StreamInfo *info)
{
    song.calls << "Init";
    song.open = song.opens;
    song.position = 0;
    if (!song.open)
        return 0x100; // only the low byte counts: a failure
    std::memset(info, 0, sizeof *info);
    info->channels = 2;
    info->sampleRate = 44100;
    content = ContentStream::encode(SongLyrics::forSong(QFile::decodeName(path)).timeline());
    return 0x301;
}

int32_t KWO_MP3D_DecodeNextFrame(uint8_t *pcm, uint8_t *contentBytes)
{
    ++song.decodes;
    if (!song.open || song.position >= song.frames)
        return 0;
    const int frame = ++song.position;
    std::memset(pcm, 0, 4608);
    std::memcpy(pcm, &frame, sizeof frame);
    content.frameBytes(frame, contentBytes);
    return 1;
}

int32_t KWO_MP3D_Forward(int32_t frames)
{
    const bool ok = song.open && frames >= 0 && frames <= song.frames - song.position;
    song.position = ok ? song.position + frames : song.frames;
    return ok;
}

int32_t KWO_MP3D_Stop(void)
{
    song.calls << "Stop";
    if (song.rewinds)
        song.position = 0;
    return song.rewinds;
}

int32_t KWO_MP3D_Close(void)
{
    song.calls << "Close";
    song.open = false;
    return 1;
}
