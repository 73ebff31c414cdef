#ifndef CONTENTFORMAT_H
#define CONTENTFORMAT_H

#include <QtGlobal>

// The content stream's vocabulary, shared by its encoder and decoder (CONTENT-FORMAT.md tells
// the whole story). Every frame carries one two-byte unit.
namespace ContentFormat {

constexpr quint8 version = 1;

constexpr quint8 header = 0xF7;         // F7 vv: stream header, format version vv
constexpr quint8 endHigh = 0xC0;        // C0 hh: end register H
constexpr quint8 startLow = 0xC1;       // C1 ll: start register, low byte
constexpr quint8 startHigh = 0xF5;      // F5 hh: start register, high byte
constexpr quint8 highlight = 0xF8;      // F8..FB vv: highlight [S, H * 1024 + (b0 & 3) * 256 + vv)
constexpr quint8 showPage = 0xFC;       // FC..FF vv: show the pending page, then highlight if any
constexpr quint8 commandLowMask = 0x03; // the two low bits of F8..FF are end bits 8 and 9

constexpr int endLowBits = 10;     // E = H << 10 | low 10 bits
constexpr int maxPageBytes = 4096; // pending page limit, UTF-8 bytes

// Whether a byte can lead or continue a UTF-8 sequence, i.e. starts a text unit.
constexpr bool isTextByte(quint8 b)
{
    return b != 0x00 && b != 0xC0 && b != 0xC1 && b < 0xF5;
}

} // namespace ContentFormat

#endif
