#ifndef CDGSCREEN_H
#define CDGSCREEN_H

#include <QImage>
#include <QRect>

#include <array>
#include <cstdint>

// The picture of CD+G subcode graphics and the interpreter of their instructions: a memory of
// 300 x 216 pixels, each one of 16 colours of 4 bits per component, of which the inner 288 x 192
// are seen through a window that the scroll instructions' offsets move by up to 5 pixels across
// and 11 down, and the rest, the border, shows the border colour. A packet is 24 bytes: the
// command (9 for graphics, else skipped), the instruction, two parity bytes, 16 bytes of data and
// four more parity bytes. Any thread, one at a time.
class CdgScreen
{
public:
    static constexpr int width = 300;
    static constexpr int height = 216;
    static constexpr int packetSize = 24;
    static constexpr int borderWidth = 6;
    static constexpr int borderHeight = 12;
    static constexpr int colorCount = 16;

    CdgScreen();

    // Carries out one packet; true when the picture seen changed. Packets of other commands,
    // unknown instructions and tiles outside the screen change nothing.
    bool apply(const uint8_t *packet);

    // The picture seen: 300 x 216, the border included, in Format_Indexed8 with the colour table.
    QImage image() const;
    // The colour of index, opaque; the transparent index is only reported, never applied.
    QRgb color(int index) const { return palette[index & 0x0F]; }
    int borderColor() const { return border; }
    int transparentColor() const { return transparent; }
    // The memory's colour index at (x, y) of the memory (before the offsets), or -1 outside.
    int pixel(int x, int y) const;
    int horizontalOffset() const { return offsetX; }
    int verticalOffset() const { return offsetY; }
    // Where the picture seen changed since the last call (in its pixels); empty when nowhere.
    QRect takeChangedArea();
    // Counts the whole picture as changed (after the screen was replaced by a copy).
    void markChanged();

private:
    using Data = const uint8_t *;
    bool presetMemory(Data data);
    bool presetBorder(Data data);
    bool drawTile(Data data, bool exclusiveOr);
    bool scroll(Data data, bool wrap);
    bool loadColors(Data data, int first);
    void scrollRows(int rows, bool wrap, int fill);
    void scrollColumns(int columns, bool wrap, int fill);
    void changed(const QRect &area);

    std::array<uint8_t, width * height> memory{}; // one colour index per pixel, row by row
    std::array<QRgb, colorCount> palette{};         // all black and opaque until loaded
    int border = 0;
    int transparent = -1; // none defined
    int offsetX = 0;
    int offsetY = 0;
    QRect changedArea;
};

#endif // CDGSCREEN_H
