#include "kwo_imcx.h"

#include "contentstreamdecoder.h"
#include "localfilename.h"
#include "ontimeevents.h"
#include "songlyrics.h"

// The library decodes one song at a time. All calls come from one thread (the player's GUI
// thread), so the state needs no lock.
namespace {
ContentStreamDecoder decoder;
IMCXGuiSink *sink = nullptr;
bool hasCarry = false; // an odd byte left over from the previous call
quint8 carry = 0;
// The song's own lyrics, read when it opened: what the stream brings late is shown on its frame
// from here instead (the first page, whose text follows the header, always is).
OnTimeEvents onTime;
qint32 frame = 0; // frames fed since the song opened, one per unit

void startFresh()
{
    decoder.reset();
    hasCarry = false;
    carry = 0;
    onTime = OnTimeEvents();
    frame = 0;
}

int32_t showPage(const QString &page)
{
    sink->showText(reinterpret_cast<const char16_t *>(page.utf16()));
    return 1;
}

int32_t highlight(int start, int end)
{
    sink->setHighlight(start, end - start);
    return 1;
}

// Feeds one frame's unit; returns the number of sink calls it made.
int32_t feedUnit(quint8 b0, quint8 b1)
{
    ++frame;
    ContentStreamDecoder::Step step = decoder.feed(b0, b1);
    if (onTime.onlyRepeatsAt(frame))
        step = {};
    const QVector<DisplayEvent> late = onTime.takeLateUpTo(frame);
    if (!sink)
        return 0;
    int32_t calls = 0;
    if (step.pageShown)
        calls += showPage(decoder.page());
    if (step.highlightSet)
        calls += highlight(decoder.highlightStart(), decoder.highlightEnd());
    for (const DisplayEvent &e : late) {
        calls += e.kind == DisplayEvent::Kind::Page ? showPage(e.page)
                                                    : highlight(e.highlightStart, e.highlightEnd);
    }
    return calls;
}
} // namespace

int32_t IMCX_InitDecoder(const char *path)
{
    startFresh();
    if (!path)
        return 0;
    const SongLyrics lyrics = SongLyrics::forSong(LocalFileName::decode(path));
    if (!lyrics.hasLyrics())
        return 0;
    onTime = OnTimeEvents(ContentStream::encode(lyrics.timeline()));
    return 1;
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
