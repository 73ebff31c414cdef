/* KWO Interactive Content Decoder: turns the two content bytes that come with every MP3 frame
 * back into lyrics pages and highlight ranges, reported through an IMCXGuiSink.
 *
 * The library holds the state of one song at a time; all calls come from one thread (the GUI
 * thread), and the sink is called back on that thread, inside IMCX_Decoder. Results are 32-bit
 * integers. Any byte sequence may be fed to IMCX_Decoder: the worst it does is show nothing. */
#ifndef KWO_IMCX_H
#define KWO_IMCX_H

#include <stdint.h>

#if defined(__GNUC__)
#define KWO_IMCX_API __attribute__((visibility("default")))
#else
#define KWO_IMCX_API
#endif

// Receives what the content stream says, during IMCX_Decoder, on the calling thread.
class KWO_IMCX_API IMCXGuiSink
{
public:
    virtual ~IMCXGuiSink();
    // A new page: zero-terminated UTF-16, lines separated by "\n". The highlight is reset.
    virtual void showText(const char16_t *text) = 0;
    // The highlight becomes [start, start + length) in UTF-16 code units of the current page.
    // Returns start + length.
    virtual int32_t setHighlight(int32_t start, int32_t length) = 0;
};

extern "C" {

/* Starts a fresh decoder for a song (path in the local 8-bit file-name encoding). Nonzero when
 * the song has lyrics; either way the bytes fed from now on are decoded as a new stream. With
 * the lyrics read here, an event the stream brings late (the first page always is, its text
 * following the header) is shown on its own frame instead, and the stream's repeat skipped: the
 * units fed count the frames from 1. */
KWO_IMCX_API int32_t IMCX_InitDecoder(const char *path);
/* Sets the sink that receives pages and highlights (null: none). Returns nonzero when set. */
KWO_IMCX_API int32_t IMCX_InitGUI(IMCXGuiSink *sink);
/* Feeds one frame's content bytes (length 2, in frame order; the bytes are read as one stream,
 * so an odd byte waits for the next call). Returns the number of sink calls made. A null
 * pointer or a length below 1 is ignored. */
KWO_IMCX_API int32_t IMCX_Decoder(const uint8_t *bytes, int32_t length);
/* Puts the decoder where feeding the song's units of frames 1 to `frames` would have left it,
 * without feeding them: the library reads them from the song's lyrics (the same the MP3 decoder
 * hands out), visiting only the frames that carry a unit or bring an event, so the cost follows
 * the lyrics, not the place. With tellEach zero the sink hears only what then stands: showText
 * with the page (empty before the first), then setHighlight when a highlight is set. With
 * tellEach nonzero it hears every page and highlight on the way, as feeding would have told it,
 * and IMCX_FramesFed tells, during each call, the frame it belongs to. Returns the number of
 * sink calls. */
KWO_IMCX_API int32_t IMCX_SeekFrame(int32_t frames, int32_t tellEach);
/* Frames fed (or sought) since IMCX_InitDecoder: the frame the sink hears of during a call. */
KWO_IMCX_API int32_t IMCX_FramesFed(void);
/* Forgets the song, its decoder state and the sink; the next song starts with
 * IMCX_InitDecoder and IMCX_InitGUI. */
KWO_IMCX_API int32_t IMCX_Flush(void);
}

#endif
