#include "nextupcard.h"

#include <QPainter>
#include <QTextOption>

QString NextUpCard::text(const QString &singer, const QString &title)
{
    return QStringLiteral("Next up: %1 \u2014 %2").arg(singer, title);
}

void NextUpCard::paint(QPainter &painter, const QRect &area, const QString &text)
{
    if (text.isEmpty() || area.isEmpty())
        return;
    painter.save();
    QTextOption option(Qt::AlignCenter);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    QFont font = painter.font();
    // Shrink until the wrapped text fits; drawText with a QTextOption never reads markup.
    for (int size = std::max(8, font.pointSize()); size >= 8; size -= 2) {
        font.setPointSize(size);
        painter.setFont(font);
        const QRectF needed = painter.boundingRect(QRectF(area), text, option);
        if (needed.height() <= area.height() && needed.width() <= area.width())
            break;
    }
    painter.drawText(QRectF(area), text, option);
    painter.restore();
}
