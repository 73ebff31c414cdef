#include "kwo_imcx.h"

#include "contentstreamdecoder.h"
#include "songlyrics.h"

#include <QFile>

// The library decodes one song at a time. All calls come from one thread (the player's GUI
// thread), so the state needs no lock.
namespace {
ContentStreamDecoder decoder;
IMCXGuiSink *sink = nullptr;
bool hasCarry = false; // an odd byte left over from the previous call
quint8 carry = 0;

void startFresh()
{
    decoder.reset();
    hasCarry = false;
    carry = 0;
}

// Feeds one unit; returns the number of sink calls it made.
int32_t feedUnit(quint8 b0, quint8 b1)
{
    const ContentStreamDecoder::Step step = decoder.feed(b0, b1);
    if (!sink)
        return 0;
    int32_t calls = 0;
    if (step.pageShown) {
        sink->showText(reinterpret_cast<const char16_t *>(decoder.page().utf16()));
        ++calls;
    }
    if (step.highlightSet) {
        sink->setHighlight(decoder.highlightStart(),
                           decoder.highlightEnd() - decoder.highlightStart());
        ++calls;
    }
    return calls;
}
} // namespace

int32_t IMCX_InitDecoder(const char *path)
{
    startFresh();
    if (!path)
        return 0;
    return SongLyrics::forSong(QFile::decodeName(path)).hasLyrics() ? 1 : 0;
}

int32_t IMCX_InitGUI(IMCXGuiSink *guiSink)
{
    sink = guiSink;
    return sink ? 1 : 0;
}

int32_t IMCX_Decoder(const uint8_t *bytes, int32_t length)
{
    if (!bytes || length <= 0)
        return 0;
    int32_t calls = 0;
    int32_t i = 0;
    if (hasCarry) {
        hasCarry = false;
        calls += feedUnit(carry, bytes[i++]);
    }
    for (; i + 1 < length; i += 2)
        calls += feedUnit(bytes[i], bytes[i + 1]);
    if (i < length) {
        hasCarry = true;
        carry = bytes[i];
    }
    return calls;
}

int32_t IMCX_Flush(void)
{
    startFresh();
    sink = nullptr;
    return 1;
}
