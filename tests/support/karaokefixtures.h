#ifndef KARAOKEFIXTURES_H
#define KARAOKEFIXTURES_H

#include <QByteArray>
#include <QList>
#include <QString>

#include <array>
#include <utility>

// CD+G graphics and zipped songs made inside a test, so that every screen is known.
//
//   KaraokeFixtures::Cdg cdg;
//   cdg.colors(0, {0x000, 0xF00}).memoryPreset(1).at(300).memoryPreset(0); // red, black at 1 s
//   KaraokeFixtures::zip(path, {{"Song.mp3", mp3}, {"Song.cdg", cdg.bytes}});
class KaraokeFixtures
{
public:
    // Packets appended one after the other; at(n) pads with empty packets so the next is n.
    struct Cdg
    {
        QByteArray bytes;
        Cdg &at(int packet);
        Cdg &memoryPreset(int color) { return add(1, {color, 0}); }
        Cdg &borderPreset(int color) { return add(2, {color}); }
        // rows: 12 rows of 6 bits, the leftmost pixel highest.
        Cdg &tile(int color0, int color1, int row, int column, const std::array<int, 12> &rows,
                  bool exclusiveOr = false);
        // across: bits 5-4 the command (1 right, 2 left), bits 2-0 the offset; down likewise
        // (1 down, 2 up) with the offset in bits 3-0.
        Cdg &scroll(int fill, int across, int down, bool copy)
        {
            return add(copy ? 24 : 20, {fill, across, down});
        }
        Cdg &transparent(int color) { return add(28, {color}); }
        // Eight colours from first (0 or 8), each 0xRGB with 4 bits a component.
        Cdg &colors(int first, const QList<int> &rgb);
        // A packet of another subcode command, which the graphics pass over.
        Cdg &foreign(int instruction, int data0) { return add(instruction, {data0}, 8); }
        Cdg &add(int instruction, std::initializer_list<int> data, int command = 9);
    };

    // A zip of the named entries (deflated); false on any failure.
    static bool zip(const QString &path, const QList<std::pair<QString, QByteArray>> &entries);
};

#endif // KARAOKEFIXTURES_H
