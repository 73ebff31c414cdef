#include "mp3fixtures.h"

#include <QFile>
#include <QtMath>

#include <lame/lame.h>

#include <algorithm>
#include <memory>
#include <vector>

QByteArray Mp3Fixtures::encodeSine(const Sine &sine)
{
    if (sine.channels < 1 || sine.channels > 2 || sine.sampleRate <= 0 || sine.seconds < 0)
        return {};
    std::unique_ptr<lame_global_flags, int (*)(lame_global_flags *)> lame(lame_init(), &lame_close);
    if (!lame)
        return {};
    lame_global_flags *gf = lame.get();
    lame_set_in_samplerate(gf, sine.sampleRate);
    lame_set_out_samplerate(gf, sine.sampleRate);
    lame_set_num_channels(gf, sine.channels);
    lame_set_mode(gf, sine.channels == 1 ? MONO : JOINT_STEREO);
    lame_set_quality(gf, 7); // fast; the tone stays a clean tone
    lame_set_write_id3tag_automatic(gf, 0);
    lame_set_bWriteVbrTag(gf, 1); // the info frame with delay and padding
    if (sine.vbrQuality >= 0) {
        lame_set_VBR(gf, vbr_default);
        lame_set_VBR_q(gf, sine.vbrQuality);
    } else {
        lame_set_VBR(gf, vbr_off);
        lame_set_brate(gf, sine.bitrate);
    }
    if (lame_init_params(gf) < 0)
        return {};

    const qint64 total = qRound64(sine.seconds * sine.sampleRate);
    const int block = 4096;
    std::vector<short> left(block), right(block);
    std::vector<unsigned char> out(block * 5 / 4 + 7200);
    QByteArray mp3;
    const double step = 2.0 * M_PI * sine.frequency / sine.sampleRate;
    const qint64 click = sine.clickAt < 0 ? -1 : qRound64(sine.clickAt * sine.sampleRate);
    for (qint64 done = 0; done < total;) {
        const int n = int(qMin<qint64>(block, total - done));
        for (int i = 0; i < n; ++i) {
            const double v = done + i == click
                                 ? 0.9 * 32767.0
                                 : sine.amplitude * 32767.0 * std::sin(step * double(done + i));
            left[i] = right[i] = short(qRound(v));
        }
        const int bytes =
            lame_encode_buffer(gf, left.data(), right.data(), n, out.data(), int(out.size()));
        if (bytes < 0)
            return {};
        mp3.append(reinterpret_cast<const char *>(out.data()), bytes);
        done += n;
    }
    const int tail = lame_encode_flush(gf, out.data(), int(out.size()));
    if (tail < 0)
        return {};
    mp3.append(reinterpret_cast<const char *>(out.data()), tail);

    // LAME kept the first frame free for the info frame; fill it in now that the totals are known.
    unsigned char tag[2880];
    const size_t tagBytes = lame_get_lametag_frame(gf, tag, sizeof tag);
    if (tagBytes == 0 || tagBytes > size_t(mp3.size()))
        return {};
    std::copy(tag, tag + tagBytes, mp3.begin());
    // At low bit rates the frame is too small for the tag and LAME leaves it out.
    const QByteArray head = mp3.left(64);
    if (!head.contains("Info") && !head.contains("Xing"))
        return {};
    return mp3;
}

bool Mp3Fixtures::writeSine(const QString &path, const Sine &sine)
{
    const QByteArray mp3 = encodeSine(sine);
    return !mp3.isEmpty() && writeFile(path, mp3);
}

QByteArray Mp3Fixtures::emptyFrames(int count, int layer)
{
    if (count <= 0 || layer < 1 || layer > 3)
        return {};
    // 0xFF 0xF?: sync, MPEG-1, the layer (bits 11, 10, 01 for I, II, III), no CRC.
    // 0x10: 32 kbps, 44 100 Hz, no padding. 0xC0: mono.
    // Layer II and III: 144 * 32000 / 44100 = 104 bytes; Layer I: 4 * (12 * 32000 / 44100) = 32.
    // The rest (side information or bit allocation, then audio data) stays zero.
    QByteArray frame(layer == 1 ? 32 : emptyFrameBytes, '\0');
    frame[0] = char(0xFF);
    frame[1] = char(0xF0 | 0x08 | ((4 - layer) << 1) | 0x01);
    frame[2] = char(0x10);
    frame[3] = char(0xC0);
    return frame.repeated(count);
}

bool Mp3Fixtures::writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(bytes) == bytes.size() && file.flush();
}
