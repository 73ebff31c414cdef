/* KWO MP3 Decoder: decodes one MPEG audio file at a time into frames of 1152 stereo samples of
 * signed 16-bit little-endian PCM at 44 100 Hz (4608 bytes), whatever the file's own rate and
 * channel count, and hands out two bytes of interactive content with every frame.
 *
 * The library holds the state of one open file; all calls come from one thread. Every result
 * is a 32-bit integer, zero meaning failure or end. */
#ifndef KWO_MP3D_H
#define KWO_MP3D_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define KWO_MP3D_API __attribute__((visibility("default")))
#else
#define KWO_MP3D_API
#endif

/* Filled by KWO_MP3D_Init: 28 bytes, channel count at byte 0, sample rate at byte 8. */
typedef struct StreamInfo {
    int32_t channels;   /* always 2 */
    int32_t reserved1;
    int32_t sampleRate; /* always 44100 */
    int32_t reserved2[4];
} StreamInfo;

/* Opens the file (path in the local 8-bit file-name encoding). Low byte nonzero when open. */
KWO_MP3D_API int32_t KWO_MP3D_Init(const char *path, StreamInfo *info);
/* Decodes the next frame: 4608 PCM bytes and 2 content bytes. Zero when no frame remains. */
KWO_MP3D_API int32_t KWO_MP3D_DecodeNextFrame(uint8_t *pcm, uint8_t *content);
/* Skips frames without producing sound. Zero when the file ended before that many frames. */
KWO_MP3D_API int32_t KWO_MP3D_Forward(int32_t frames);
/* Rewinds: the next KWO_MP3D_DecodeNextFrame yields the first frame again. */
KWO_MP3D_API int32_t KWO_MP3D_Stop(void);
/* Closes the file. */
KWO_MP3D_API int32_t KWO_MP3D_Close(void);

#ifdef __cplusplus
}
#endif

#endif
