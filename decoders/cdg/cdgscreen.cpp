#include "cdgscreen.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int graphicsCommand = 9;
constexpr int tileWidth = 6;
constexpr int tileHeight = 12;
constexpr int tileColumns = CdgScreen::width / tileWidth;
constexpr int tileRows = CdgScreen::height / tileHeight;
constexpr int dataOffset = 4; // after the command, the instruction and two parity bytes

enum Instruction
{
    MemoryPreset = 1,
    BorderPreset = 2,
    TileNormal = 6,
    ScrollPreset = 20,
    ScrollCopy = 24,
    DefineTransparent = 28,
    ColorsLow = 30,
    ColorsHigh = 31,
    TileExclusiveOr = 38
};

// The 288 x 192 window inside the border, in the picture's pixels.
const QRect inner(CdgScreen::borderWidth, CdgScreen::borderHeight,
                  CdgScreen::width - 2 * CdgScreen::borderWidth,
                  CdgScreen::height - 2 * CdgScreen::borderHeight);
const QRect whole(0, 0, CdgScreen::width, CdgScreen::height);

} // namespace

CdgScreen::CdgScreen()
{
    palette.fill(qRgb(0, 0, 0));
}

bool CdgScreen::apply(const uint8_t *packet)
{
    if ((packet[0] & 0x3F) != graphicsCommand)
        return false;
    const Data data = packet + dataOffset;
    switch (packet[1] & 0x3F) {
    case MemoryPreset:
        return presetMemory(data);
    case BorderPreset:
        return presetBorder(data);
    case TileNormal:
        return drawTile(data, false);
    case TileExclusiveOr:
        return drawTile(data, true);
    case ScrollPreset:
        return scroll(data, false);
    case ScrollCopy:
        return scroll(data, true);
    case DefineTransparent:
        transparent = data[0] & 0x0F;
        return false;
    case ColorsLow:
        return loadColors(data, 0);
    case ColorsHigh:
        return loadColors(data, colorCount / 2);
    default:
        return false;
    }
}

QImage CdgScreen::image() const
{
    QImage picture(width, height, QImage::Format_Indexed8);
    picture.setColorTable(QList<QRgb>(palette.begin(), palette.end()));
    for (int y = 0; y < height; ++y) {
        uchar *line = picture.scanLine(y);
        std::memset(line, border, width);
        if (y >= inner.top() && y <= inner.bottom())
            std::memcpy(line + inner.left(), &memory[(y + offsetY) * width + inner.left() + offsetX],
                    inner.width());
    }
    return picture;
}

int CdgScreen::pixel(int x, int y) const
{
    if (x < 0 || y < 0 || x >= width || y >= height)
        return -1;
    return memory[y * width + x];
}

QRect CdgScreen::takeChangedArea()
{
    const QRect area = changedArea;
    changedArea = QRect();
    return area;
}

void CdgScreen::markChanged()
{
    changed(whole);
}

void CdgScreen::changed(const QRect &area)
{
    changedArea |= area;
}

// The whole memory, border included, takes the colour. The repeat count in the second byte only
// numbers the copies a disc sends of the same packet; each copy after the first changes nothing.
bool CdgScreen::presetMemory(Data data)
{
    const uint8_t color = data[0] & 0x0F;
    const bool same = border == color &&
                      std::all_of(memory.begin(), memory.end(), [color](uint8_t p) { return p == color; });
    if (same)
        return false;
    memory.fill(color);
    border = color;
    changed(whole);
    return true;
}

// The border shows the colour; the memory under it takes it too, so that a scroll brings it in.
bool CdgScreen::presetBorder(Data data)
{
    const uint8_t color = data[0] & 0x0F;
    std::fill_n(memory.begin(), inner.top() * width, color);
    std::fill(memory.begin() + (inner.bottom() + 1) * width, memory.end(), color);
    for (int y = inner.top(); y <= inner.bottom(); ++y) {
        std::fill_n(memory.begin() + y * width, inner.left(), color);
        std::fill(memory.begin() + y * width + inner.right() + 1, memory.begin() + (y + 1) * width, color);
    }
    if (border == color)
        return false;
    border = color;
    changed(whole);
    return true;
}

// A 6 x 12 tile: each of its twelve rows is 6 bits, the leftmost pixel the highest; a set bit
// takes the second colour, a clear one the first. Exclusive or combines them with the memory.
bool CdgScreen::drawTile(Data data, bool exclusiveOr)
{
    const uint8_t colors[2] = {uint8_t(data[0] & 0x0F), uint8_t(data[1] & 0x0F)};
    const int row = data[2] & 0x1F;
    const int column = data[3] & 0x3F;
    if (row >= tileRows || column >= tileColumns)
        return false;
    bool any = false;
    for (int y = 0; y < tileHeight; ++y) {
        const int bits = data[4 + y] & 0x3F;
        uint8_t *line = &memory[(row * tileHeight + y) * width + column * tileWidth];
        for (int x = 0; x < tileWidth; ++x) {
            const uint8_t color = colors[(bits >> (tileWidth - 1 - x)) & 1];
            const uint8_t value = exclusiveOr ? uint8_t(line[x] ^ color) : color;
            any = any || value != line[x];
            line[x] = value;
        }
    }
    if (!any)
        return false;
    const QRect seen = QRect(column * tileWidth - offsetX, row * tileHeight - offsetY, tileWidth,
                             tileHeight) &
                       inner;
    changed(seen);
    return !seen.isEmpty();
}

// Moves the memory a tile's width or height (1: right or down, 2: left or up), the place left
// filled with the colour or, for a copy, with what moved out the other side; then sets the
// window's offsets.
bool CdgScreen::scroll(Data data, bool wrap)
{
    const int fill = data[0] & 0x0F;
    const int across = data[1] & 0x3F;
    const int down = data[2] & 0x3F;
    const int acrossCommand = across >> 4;
    const int downCommand = down >> 4;
    bool moved = false;
    if (acrossCommand == 1 || acrossCommand == 2) {
        scrollColumns(acrossCommand == 1 ? tileWidth : -tileWidth, wrap, fill);
        moved = true;
    }
    if (downCommand == 1 || downCommand == 2) {
        scrollRows(downCommand == 1 ? tileHeight : -tileHeight, wrap, fill);
        moved = true;
    }
    const int newX = std::min(across & 0x07, borderWidth - 1);
    const int newY = std::min(down & 0x0F, borderHeight - 1);
    if (!moved && newX == offsetX && newY == offsetY)
        return false;
    offsetX = newX;
    offsetY = newY;
    changed(inner);
    return true;
}

void CdgScreen::scrollRows(int rows, bool wrap, int fill)
{
    const int shift = ((rows % height) + height) % height; // downwards, in rows
    std::rotate(memory.begin(), memory.begin() + (height - shift) * width, memory.end());
    if (wrap)
        return;
    const int first = rows > 0 ? 0 : height + rows;
    std::fill_n(memory.begin() + first * width, std::abs(rows) * width, uint8_t(fill));
}

void CdgScreen::scrollColumns(int columns, bool wrap, int fill)
{
    const int shift = ((columns % width) + width) % width; // rightwards, in pixels
    for (int y = 0; y < height; ++y) {
        const auto line = memory.begin() + y * width;
        std::rotate(line, line + (width - shift), line + width);
        if (!wrap)
            std::fill_n(line + (columns > 0 ? 0 : width + columns), std::abs(columns), uint8_t(fill));
    }
}

// Eight colours, two bytes each: red in bits 5-2 of the first, green in its bits 1-0 and the
// second's bits 5-4, blue in the second's bits 3-0.
bool CdgScreen::loadColors(Data data, int first)
{
    bool any = false;
    for (int i = 0; i < colorCount / 2; ++i) {
        const int high = data[2 * i] & 0x3F;
        const int low = data[2 * i + 1] & 0x3F;
        const int red = high >> 2;
        const int green = ((high & 0x03) << 2) | (low >> 4);
        const int blue = low & 0x0F;
        const QRgb rgb = qRgb(red * 17, green * 17, blue * 17);
        any = any || palette[first + i] != rgb;
        palette[first + i] = rgb;
    }
    if (any)
        changed(whole);
    return any;
}
