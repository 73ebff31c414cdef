#include "mp3stream.h"

#include "bufferedfile.h"
#include "contentsource.h"

#include <QtDebug>

#include <mpg123.h>

#include <cstring>

namespace {

void initLibrary()
{
    static const int result = mpg123_init();
    (void)result;
}

// A decoder set up for our one output format. Read-ahead confirms each sync with the next
// frame header, which keeps junk from passing for audio; without it a file of a single frame
// can be read too.
mpg123_handle *newHandle(bool readAhead)
{
    mpg123_handle *handle = mpg123_new(nullptr, nullptr);
    if (!handle)
        return nullptr;
    long flags = MPG123_GAPLESS | MPG123_QUIET | MPG123_FORCE_STEREO | MPG123_FORCE_ENDIAN |
                 MPG123_SKIP_ID3V2;
    // Without read-ahead, a stream counted by a bogus Info frame makes libmpg123 look for a
    // following stream for minutes; a file read this way holds a single frame anyway.
    if (!readAhead)
        flags |= MPG123_NO_READAHEAD | MPG123_NO_FRANKENSTEIN;
    // Damage or junk anywhere in the file is skipped however long it is, not just the first KiB.
    if (mpg123_param(handle, MPG123_FLAGS, flags, 0) != MPG123_OK ||
        mpg123_param(handle, MPG123_RESYNC_LIMIT, -1, 0) != MPG123_OK ||
        mpg123_param(handle, MPG123_FORCE_RATE, Mp3Stream::sampleRate, 0) != MPG123_OK ||
        mpg123_format_none(handle) != MPG123_OK ||
        mpg123_format(handle, Mp3Stream::sampleRate, MPG123_STEREO, MPG123_ENC_SIGNED_16) !=
            MPG123_OK) {
        mpg123_delete(handle);
        return nullptr;
    }
    return handle;
}

ssize_t readFile(void *file, void *out, size_t count)
{
    return static_cast<BufferedFile *>(file)->read(out, count);
}

off_t seekFile(void *file, off_t offset, int whence)
{
    return static_cast<BufferedFile *>(file)->seek(offset, whence);
}

} // namespace

std::unique_ptr<Mp3Stream> Mp3Stream::open(const char *path)
{
    if (!path)
        return nullptr;
    initLibrary();
    for (const bool readAhead : {true, false}) {
        std::unique_ptr<BufferedFile> file = BufferedFile::open(path);
        if (!file)
            return nullptr;
        mpg123_handle *handle = newHandle(readAhead);
        if (!handle)
            return nullptr;
        BufferedFile *reader = file.get();
        std::unique_ptr<Mp3Stream> stream(new Mp3Stream(handle, std::move(file)));
        long rate = 0;
        int channels = 0, encoding = 0;
        int result = mpg123_replace_reader_handle(handle, readFile, seekFile, nullptr);
        if (result == MPG123_OK)
            result = mpg123_open_handle(handle, reader);
        if (result == MPG123_OK)
            result = mpg123_getformat(handle, &rate, &channels, &encoding);
        if (result == MPG123_DONE && readAhead)
            continue; // the file ended before a second frame confirmed the first
        if (result != MPG123_OK) {
            qDebug("KWO MP3 Decoder: no MPEG audio in %s: %s", path,
                   result == MPG123_DONE ? "no frame found" : mpg123_strerror(handle));
            return nullptr;
        }
        // A full pass over the frame headers (no decoding) gives the exact length and a seek
        // index; the Xing table of contents alone would make seeks approximate.
        if (mpg123_scan(handle) != MPG123_OK) {
            qDebug("KWO MP3 Decoder: cannot scan %s: %s", path, mpg123_strerror(handle));
            return nullptr;
        }
        const off_t samples = mpg123_length(handle);
        if (samples <= 0) {
            qDebug("KWO MP3 Decoder: no audio in %s", path);
            return nullptr;
        }
        stream->totalFrames = (std::int64_t(samples) + frameSamples - 1) / frameSamples;
        stream->content = ContentSource::open(path);
        return stream;
    }
    return nullptr;
}

Mp3Stream::Mp3Stream(mpg123_handle_struct *handle, std::unique_ptr<BufferedFile> file)
    : handle(handle), file(std::move(file))
{}

Mp3Stream::~Mp3Stream()
{
    mpg123_close(handle);
    mpg123_delete(handle);
}

bool Mp3Stream::decodeNextFrame(std::uint8_t *pcm, std::uint8_t *contentBytes)
{
    if (frame >= totalFrames)
        return false;
    if (decoderFrame != frame) {
        // Sample-accurate: libmpg123 decodes the few frames before the target that layer III
        // needs for its bit reservoir, nothing more.
        const off_t at = mpg123_seek(handle, off_t(frame) * frameSamples, SEEK_SET);
        decoderEnded = at < 0;
        decoderFrame = frame;
    }
    readFrame(pcm);
    // Where every frame gets its interactive content: the bytes depend on the frame number only.
    content->contentOf(frame, contentBytes);
    ++frame;
    ++decoderFrame;
    return true;
}

void Mp3Stream::readFrame(std::uint8_t *pcm)
{
    size_t filled = 0;
    int idleReads = 0;
    while (!decoderEnded && filled < size_t(frameBytes)) {
        size_t done = 0;
        const int result = mpg123_read(handle, pcm + filled, frameBytes - filled, &done);
        filled += done;
        if (result == MPG123_OK || result == MPG123_NEW_FORMAT) {
            // The output format is fixed, so a new format changes nothing; a decoder that keeps
            // producing nothing is treated as ended rather than waited on.
            idleReads = done ? 0 : idleReads + 1;
            decoderEnded = idleReads > 16;
        } else {
            if (result != MPG123_DONE)
                qDebug("KWO MP3 Decoder: decoding stopped: %s", mpg123_strerror(handle));
            decoderEnded = true;
        }
    }
    // The last frame, or one the decoder could no longer deliver, is completed with silence.
    std::memset(pcm + filled, 0, frameBytes - filled);
}

bool Mp3Stream::forward(std::int64_t frames)
{
    if (frames < 0)
        return false;
    if (frames > totalFrames - frame) {
        frame = totalFrames;
        return false;
    }
    frame += frames;
    return true;
}

void Mp3Stream::rewind()
{
    frame = 0;
}
