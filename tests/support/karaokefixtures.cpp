#include "karaokefixtures.h"

#include <QFile>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <zip.h>

KaraokeFixtures::Cdg &KaraokeFixtures::Cdg::at(int packet)
{
    bytes.resize(std::max(bytes.size(), qsizetype(packet) * 24), '\0');
    return *this;
}

KaraokeFixtures::Cdg &KaraokeFixtures::Cdg::add(int instruction, std::initializer_list<int> data,
                                                int command)
{
    QByteArray packet(24, '\0');
    packet[0] = char(command);
    packet[1] = char(instruction);
    int at = 4;
    for (int value : data)
        packet[at++] = char(value);
    bytes += packet;
    return *this;
}

KaraokeFixtures::Cdg &KaraokeFixtures::Cdg::tile(int color0, int color1, int row, int column,
                                                 const std::array<int, 12> &rows, bool exclusiveOr)
{
    add(exclusiveOr ? 38 : 6, {color0, color1, row, column});
    for (int y = 0; y < 12; ++y)
        bytes[bytes.size() - 16 + y] = char(rows[y]);
    return *this;
}

KaraokeFixtures::Cdg &KaraokeFixtures::Cdg::colors(int first, const QList<int> &rgb)
{
    add(first == 0 ? 30 : 31, {});
    for (int i = 0; i < rgb.size() && i < 8; ++i) {
        const int red = (rgb[i] >> 8) & 0xF, green = (rgb[i] >> 4) & 0xF, blue = rgb[i] & 0xF;
        bytes[bytes.size() - 20 + 2 * i] = char((red << 2) | (green >> 2));
        bytes[bytes.size() - 20 + 2 * i + 1] = char(((green & 3) << 4) | blue);
    }
    return *this;
}

bool KaraokeFixtures::zip(const QString &path, const QList<std::pair<QString, QByteArray>> &entries)
{
    QFile::remove(path);
    int error = 0;
    zip_t *archive = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!archive)
        return false;
    bool ok = true;
    for (const auto &[name, bytes] : entries) {
        if (name.endsWith('/')) {
            ok = ok && zip_dir_add(archive, name.toUtf8().constData(), ZIP_FL_ENC_UTF_8) >= 0;
            continue;
        }
        // libzip reads the buffer when the archive is closed, so it keeps its own copy.
        void *copy = std::malloc(size_t(std::max<qsizetype>(bytes.size(), 1)));
        std::memcpy(copy, bytes.constData(), size_t(bytes.size()));
        zip_source_t *source = zip_source_buffer(archive, copy, zip_uint64_t(bytes.size()), 1);
        ok = ok && source &&
             zip_file_add(archive, name.toUtf8().constData(), source, ZIP_FL_ENC_UTF_8) >= 0;
    }
    return zip_close(archive) == 0 && ok;
}
