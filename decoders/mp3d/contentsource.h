#ifndef CONTENTSOURCE_H
#define CONTENTSOURCE_H

#include <cstdint>
#include <memory>

// The two bytes of interactive content that travel with every frame. The bytes of frame n
// (frames counted from 0 at the start of the song) depend on n alone, so skipping and
// rewinding need nothing but the frame number.
class ContentSource
{
public:
    // The content carried by the song at path (local 8-bit file-name encoding). Never null: a
    // song without interactive content gets a source of zero bytes.
    static std::unique_ptr<ContentSource> open(const char *path);

    virtual ~ContentSource() = default;

    // Writes frame's two content bytes.
    virtual void contentOf(std::int64_t frame, std::uint8_t content[2]) const;
};

#endif
