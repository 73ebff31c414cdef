#include "kwo_imcx.h"

#include "contentstreamdecoder.h"
#include "localfilename.h"
#include "ontimeevents.h"
#include "songlyrics.h"

#include <algorithm>
#include <limits>

// The library decodes one song at a time. All calls come from one thread (the player's GUI
// thread), so the state needs no lock.
namespace {

// What the sink was last told: the page and its highlight.
struct Shown
{
    QString page;
    int start = 0;
    int end = 0;
};

// Everything the units fed so far decide.
struct Decoding
{
    ContentStreamDecoder decoder;
    // The song's own lyrics, read when it opened: what the stream brings late is shown on its
    // frame from here instead (the first page, whose text follows the header, always is).
    OnTimeEvents onTime;
    qint32 frame = 0; // frames fed since the song opened, one per unit
    Shown shown;
};

Decoding state;
// The song's lyrics as the stream the MP3 decoder hands out with its frames; read by seeks.
ContentStream songStream;
IMCXGuiSink *sink = nullptr;
bool hasCarry = false; // an odd byte left over from the previous call
quint8 carry = 0;

void startFresh()
{
    state = Decoding();
    songStream = ContentStream();
    hasCarry = false;
    carry = 0;
}

int32_t showPage(Decoding &d, const QString &page, IMCXGuiSink *to)
{
    d.shown = Shown{page, 0, 0};
    if (!to)
        return 0;
    to->showText(reinterpret_cast<const char16_t *>(page.utf16()));
    return 1;
}

int32_t highlight(Decoding &d, int start, int end, IMCXGuiSink *to)
{
    d.shown.start = start;
    d.shown.end = end;
    if (!to)
        return 0;
    to->setHighlight(start, end - start);
    return 1;
}

// Feeds one frame's unit, telling the sink `to` (if any); returns the number of sink calls.
int32_t feedUnit(Decoding &d, quint8 b0, quint8 b1, IMCXGuiSink *to)
{
    ++d.frame;
    ContentStreamDecoder::Step step = d.decoder.feed(b0, b1);
    if (d.onTime.onlyRepeatsAt(d.frame))
        step = {};
    const QVector<DisplayEvent> late = d.onTime.takeLateUpTo(d.frame);
    int32_t calls = 0;
    if (step.pageShown)
        calls += showPage(d, d.decoder.page(), to);
    if (step.highlightSet)
        calls += highlight(d, d.decoder.highlightStart(), d.decoder.highlightEnd(), to);
    for (const DisplayEvent &e : late) {
        calls += e.kind == DisplayEvent::Kind::Page
                     ? showPage(d, e.page, to)
                     : highlight(d, e.highlightStart, e.highlightEnd, to);
    }
    return calls;
}

// Feeds the song's own units up to frame target. The frames between two that carry a unit or
// bring an event are idle (00 00, nothing due): they only count, so they are counted, not fed,
// and the cost follows the lyrics, not the place.
int32_t replayTo(Decoding &d, qint32 target, IMCXGuiSink *to)
{
    int32_t calls = 0;
    while (d.frame < target) {
        const qint32 busy = std::min(songStream.nextBusyFrame(d.frame), d.onTime.nextWantedFrame());
        const qint32 next = std::clamp(busy, d.frame + 1, target);
        d.frame = next - 1;
        quint8 unit[2];
        songStream.frameBytes(next, unit);
        calls += feedUnit(d, unit[0], unit[1], to);
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
    songStream = ContentStream::encode(lyrics.timeline());
    state.onTime = OnTimeEvents(songStream);
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
        calls += feedUnit(state, carry, bytes[i++], sink);
    }
    for (; i + 1 < length; i += 2)
        calls += feedUnit(state, bytes[i], bytes[i + 1], sink);
    if (i < length) {
        hasCarry = true;
        carry = bytes[i];
    }
    return calls;
}

int32_t IMCX_SeekFrame(int32_t frames, int32_t tellEach)
{
    state = Decoding{ContentStreamDecoder(), OnTimeEvents(songStream), 0, Shown()};
    hasCarry = false;
    int32_t calls = replayTo(state, std::max(frames, 0), tellEach ? sink : nullptr);
    if (tellEach || !sink)
        return calls;
    sink->showText(reinterpret_cast<const char16_t *>(state.shown.page.utf16()));
    ++calls;
    if (state.shown.start != 0 || state.shown.end != 0) {
        sink->setHighlight(state.shown.start, state.shown.end - state.shown.start);
        ++calls;
    }
    return calls;
}

int32_t IMCX_FramesFed(void)
{
    return state.frame;
}

int32_t IMCX_Flush(void)
{
    startFresh();
    sink = nullptr;
    return 1;
}
