#include "lyricsshow.h"

#include "frametiming.h"
#include "kwo_mp3d.h"

#include <QFile>

bool LyricsShow::play(const QString &songPath, QString *error)
{
    delivered.clear();
    frames = 0;
    const QByteArray path = QFile::encodeName(songPath);
    StreamInfo info{};
    if ((KWO_MP3D_Init(path.constData(), &info) & 0xff) == 0) {
        *error = QStringLiteral("%1: not MPEG audio (the decoder cannot open it)").arg(songPath);
        return false;
    }
    hasLyrics = IMCX_InitDecoder(path.constData()) != 0;
    IMCX_InitGUI(this);
    static uint8_t pcm[FrameTiming::bytesPerFrame];
    uint8_t content[2] = {0, 0};
    while (KWO_MP3D_DecodeNextFrame(pcm, content) != 0) {
        ++frames;
        if (hasLyrics)
            IMCX_Decoder(content, 2);
    }
    IMCX_Flush();
    KWO_MP3D_Stop();
    KWO_MP3D_Close();
    return true;
}

void LyricsShow::showText(const char16_t *text)
{
    DeliveryReport::Delivered d;
    d.frame = frames;
    d.event.kind = DisplayEvent::Kind::Page;
    d.event.ms = FrameTiming::msForFrame(frames);
    d.event.page = text ? QString::fromUtf16(text) : QString();
    delivered.append(d);
}

int32_t LyricsShow::setHighlight(int32_t start, int32_t length)
{
    DeliveryReport::Delivered d;
    d.frame = frames;
    d.event.kind = DisplayEvent::Kind::Highlight;
    d.event.ms = FrameTiming::msForFrame(frames);
    d.event.highlightStart = start;
    d.event.highlightEnd = start + length;
    delivered.append(d);
    return start + length;
}
