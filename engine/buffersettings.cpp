#include "buffersettings.h"

namespace {
BufferSettings *current = nullptr;
}

BufferSettings *BufferSettings::installed()
{
    return current;
}

void BufferSettings::install(BufferSettings *settings)
{
    current = settings;
}

void BufferSettings::uninstall(BufferSettings *settings)
{
    if (current == settings)
        current = nullptr;
}
