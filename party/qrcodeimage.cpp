#include "qrcodeimage.h"

#include <QString>

#include <qrencode.h>

#include <memory>

QImage QrCodeImage::make(const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    if (bytes.isEmpty() || bytes.size() > 1000)
        return QImage();
    const std::unique_ptr<QRcode, void (*)(QRcode *)> code(
        QRcode_encodeString8bit(bytes.constData(), 0, QR_ECLEVEL_M), QRcode_free);
    if (!code)
        return QImage();
    constexpr int quiet = 4;
    const int width = code->width;
    QImage image(width + 2 * quiet, width + 2 * quiet, QImage::Format_Mono);
    image.setColor(0, qRgb(255, 255, 255));
    image.setColor(1, qRgb(0, 0, 0));
    image.fill(0);
    for (int y = 0; y < width; ++y) {
        for (int x = 0; x < width; ++x) {
            if (code->data[y * width + x] & 1)
                image.setPixel(x + quiet, y + quiet, 1);
        }
    }
    return image;
}
