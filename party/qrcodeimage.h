#ifndef QRCODEIMAGE_H
#define QRCODEIMAGE_H

#include <QImage>

class QString;

// A QR code of a text as a one-bit image, one pixel per module, with the four-module quiet zone;
// a null image when the text does not fit in a code.
// Any thread.
class QrCodeImage
{
public:
    static QImage make(const QString &text);
};

#endif // QRCODEIMAGE_H
