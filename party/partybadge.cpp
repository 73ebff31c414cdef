#include "partybadge.h"

#include "qrcodeimage.h"

#include <QFontMetrics>
#include <QPainter>

void PartyBadge::setAddress(const QString &address)
{
    url = address;
    qr = address.isEmpty() ? QImage() : QrCodeImage::make(address);
}

void PartyBadge::paint(QPainter &painter, const QRect &area) const
{
    if (qr.isNull() || area.isEmpty())
        return;
    painter.save();
    const QFontMetrics metrics(painter.font());
    const int textHeight = metrics.height() + 4;
    const bool withText = area.height() > 4 * textHeight;
    const int side = std::min(area.width(), area.height() - (withText ? textHeight : 0));
    // Whole pixels per module keep the code sharp.
    const int scale = std::max(1, side / qr.width());
    const int drawn = scale * qr.width();
    const QRect square(area.left() + (area.width() - drawn) / 2, area.top(), drawn, drawn);
    painter.fillRect(square, Qt::white);
    painter.drawImage(square, qr);
    if (withText) {
        const QRect line(area.left(), square.bottom() + 4, area.width(), metrics.height());
        painter.setPen(Qt::white);
        painter.drawText(line, Qt::AlignHCenter | Qt::TextSingleLine,
                         metrics.elidedText(url, Qt::ElideMiddle, area.width()));
    }
    painter.restore();
}
