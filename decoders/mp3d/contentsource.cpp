#include "contentsource.h"

std::unique_ptr<ContentSource> ContentSource::open(const char *path)
{
    // Songs carry no interactive content yet: every frame gets 00 00.
    (void)path;
    return std::make_unique<ContentSource>();
}

void ContentSource::contentOf(std::int64_t frame, std::uint8_t content[2]) const
{
    (void)frame;
    content[0] = 0;
    content[1] = 0;
}
