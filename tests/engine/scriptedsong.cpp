#include "scriptedsong.h"

#include "contentstream.h"
#include "kwo_mp3d.h"
#include "songlyrics.h"

#include <QFile>

#include <cstring>

namespace {
constexpr int pcmBytes = 4608;

struct Song
{
    int frames = 0;
    bool opens = true;
    bool open = false;
    int position = 0; // frames decoded or skipped
    ContentStream content;
} song;
} // namespace

void ScriptedSong::reset(int frames, bool opens)
{
    song = Song();
    song.frames = frames;
    song.opens = opens;
}

QByteArray ScriptedSong::framePcm(int frame)
{
    QByteArray pcm(pcmBytes, Qt::Uninitialized);
    for (int i = 0; i < pcmBytes / 2; ++i) {
        const qint16 sample = qint16(1 + (frame * 2311 + i * 7) % 30000);
        pcm[2 * i] = char(sample & 0xff);
        pcm[2 * i + 1] = char(sample >> 8);
    }
    return pcm;
}

int ScriptedSong::framesDecoded()
{
    return song.position;
}

int32_t KWO_MP3D_Init(const char *path, StreamInfo *info)
{
    song.open = song.opens;
    song.position = 0;
    if (!song.open)
        return 0;
    std::memset(info, 0, sizeof *info);
    info->channels = 2;
    info->sampleRate = 44100;
    song.content = ContentStream::encode(SongLyrics::forSong(QFile::decodeName(path)).timeline());
    return 1;
}

int32_t KWO_MP3D_DecodeNextFrame(uint8_t *pcm, uint8_t *content)
{
    if (!song.open || song.position >= song.frames)
        return 0;
    const int frame = ++song.position;
    std::memcpy(pcm, ScriptedSong::framePcm(frame).constData(), pcmBytes);
    song.content.frameBytes(frame, content);
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
    song.position = 0;
    return song.open;
}

int32_t KWO_MP3D_Close(void)
{
    song.open = false;
    return 1;
}
