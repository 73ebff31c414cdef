#ifndef MP3STREAM_H
#define MP3STREAM_H

#include "frametiming.h"

#include <cstdint>
#include <memory>

class BufferedFile;
class ContentSource;
struct mpg123_handle_struct;

// One open MPEG audio file decoded into frames of 1152 stereo samples of signed 16-bit
// little-endian PCM at 44 100 Hz (4608 bytes, 26.12245 ms), whatever the file's own rate and
// channel count. Encoder delay and padding are removed, and the last frame is filled up with
// silence, so the frames hold exactly the song's audio.
//
// The stream keeps one frame counter, position(): the number of frames decoded or skipped since
// the start. Skipping and rewinding move only that counter; the decoder seeks to it lazily when
// the next frame is decoded, so a run of skips costs no decoding at all.
class Mp3Stream
{
public:
    static constexpr int frameSamples = FrameTiming::samplesPerFrame;
    static constexpr int frameBytes = FrameTiming::bytesPerFrame;
    static constexpr int sampleRate = 44100;
    static constexpr int channels = 2;

    // Opens a regular file (path in the local 8-bit file-name encoding) and finds its length;
    // null when it cannot be read or holds no MPEG audio.
    static std::unique_ptr<Mp3Stream> open(const char *path);
    ~Mp3Stream();
    Mp3Stream(const Mp3Stream &) = delete;
    Mp3Stream &operator=(const Mp3Stream &) = delete;

    // Frame position() into pcm (frameBytes) and its content bytes; false after the last frame.
    bool decodeNextFrame(std::uint8_t *pcm, std::uint8_t *content);
    // Skips frames without decoding; false, leaving the position at the end, when fewer remain.
    bool forward(std::int64_t frames);
    // Back to the first frame.
    void rewind();

    std::int64_t position() const { return frame; }
    std::int64_t frameCount() const { return totalFrames; }

private:
    Mp3Stream(mpg123_handle_struct *handle, std::unique_ptr<BufferedFile> file);
    void readFrame(std::uint8_t *pcm); // a whole frame, completed with silence

    mpg123_handle_struct *handle = nullptr;
    std::unique_ptr<BufferedFile> file; // read by libmpg123 through the handle
    std::unique_ptr<ContentSource> content;
    std::int64_t totalFrames = 0;
    std::int64_t frame = 0;        // the frame counter: next frame to hand out
    std::int64_t decoderFrame = 0; // the frame libmpg123 will produce next
    bool decoderEnded = false;     // libmpg123 reported the end of the stream
};

#endif
