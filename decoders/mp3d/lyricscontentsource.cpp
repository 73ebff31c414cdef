#include "lyricscontentsource.h"

#include <limits>

LyricsContentSource::LyricsContentSource(const DisplayTimeline &timeline)
    : stream(ContentStream::encode(timeline))
{}

void LyricsContentSource::contentOf(std::int64_t frame, std::uint8_t content[2]) const
{
    // The stream numbers frames from 1, the decoder from 0.
    if (frame < 0 || frame >= std::numeric_limits<qint32>::max()) {
        content[0] = content[1] = 0;
        return;
    }
    stream.frameBytes(qint32(frame + 1), content);
}
