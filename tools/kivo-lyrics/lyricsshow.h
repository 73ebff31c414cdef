#ifndef LYRICSSHOW_H
#define LYRICSSHOW_H

#include "deliveryreport.h"

#include "kwo_imcx.h"

#include <QString>
#include <QVector>

// Plays a song through the two decoder libraries exactly as the player does, without sound:
// every frame decoded, its two content bytes fed in frame order, and every page and highlight
// the content decoder reports kept with the frame that produced it.
class LyricsShow : public IMCXGuiSink
{
public:
    // False with a message when the song cannot be opened as MPEG audio.
    bool play(const QString &songPath, QString *error);

    QVector<DeliveryReport::Delivered> delivered;
    int frames = 0;         // frames decoded
    bool hasLyrics = false; // what IMCX_InitDecoder answered

    void showText(const char16_t *text) override;
    int32_t setHighlight(int32_t start, int32_t length) override;
};

#endif
