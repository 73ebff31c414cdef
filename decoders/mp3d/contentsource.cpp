#include "contentsource.h"

#include "localfilename.h"
#include "lyricscontentsource.h"
#include "songlyrics.h"

std::unique_ptr<ContentSource> ContentSource::open(const char *path)
{
    // A song's lyrics (sidecar LRC, ID3v2 SYLT or USLT) travel as the content stream; a song
    // without any gets 00 00 in every frame.
    if (path) {
        const SongLyrics lyrics = SongLyrics::forSong(LocalFileName::decode(path));
        if (lyrics.hasLyrics())
            return std::make_unique<LyricsContentSource>(lyrics.timeline());
    }
    return std::make_unique<ContentSource>();
}

void ContentSource::contentOf(std::int64_t frame, std::uint8_t content[2]) const
{
    (void)frame;
    content[0] = 0;
    content[1] = 0;
}
