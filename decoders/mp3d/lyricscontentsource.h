#ifndef LYRICSCONTENTSOURCE_H
#define LYRICSCONTENTSOURCE_H

#include "contentsource.h"
#include "contentstream.h"

// A song's lyrics as content bytes: the content stream built from its timeline once, when the
// song opens, so that any frame's bytes are a lookup.
class LyricsContentSource : public ContentSource
{
public:
    explicit LyricsContentSource(const DisplayTimeline &timeline);

    void contentOf(std::int64_t frame, std::uint8_t content[2]) const override;

private:
    ContentStream stream;
};

#endif
