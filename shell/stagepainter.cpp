#include "stagepainter.h"

#include <QFontMetrics>
#include <QList>
#include <QPainter>

#include <algorithm>

namespace {

// Each kind of text takes a share of the area's height, but no less than a size that reads in a
// small window, unless the width leaves no room for that.
constexpr int smallestPixels = 7;
constexpr double titleShare = 0.09;
constexpr int titlePixels = 16;
constexpr double subtitleShare = 0.055;
constexpr int subtitlePixels = 11;
constexpr double noteShare = 0.04;
constexpr int notePixels = 10;
constexpr double noticeShare = 0.045;
constexpr int noticePixels = 12;
// Letters up to this size come from the glyph cache; larger ones are filled as outlines, which is
// too slow for a notice drawn at every step of a wipe.
constexpr int largestNoticePixels = 60;

} // namespace

StagePainter::StagePainter(QPainter &painter, const QRect &area, const QFont &font,
                           const QColor &normal, const QColor &highlight,
                           const QColor &background)
    : painter(painter), area(area), font(font), normal(normal), highlight(highlight),
      background(background)
{
}

QColor StagePainter::dimmed() const
{
    return QColor((normal.red() + background.red()) / 2, (normal.green() + background.green()) / 2,
                  (normal.blue() + background.blue()) / 2);
}

QFont StagePainter::sized(const QString &text, double heightShare, int readable) const
{
    QFont sizedFont = font;
    int pixels = std::max(readable, int(area.height() * heightShare));
    sizedFont.setPixelSize(pixels);
    const int width = QFontMetrics(sizedFont, painter.device()).horizontalAdvance(text);
    const int room = int(area.width() * 0.9);
    if (width > room) {
        pixels = std::max(smallestPixels, int(qint64(pixels) * room / width));
        sizedFont.setPixelSize(pixels);
    }
    return sizedFont;
}

void StagePainter::card(const QString &title, const QString &subtitle, const QString &note)
{
    struct Row
    {
        QString text;
        QFont font;
        QColor colour;
    };
    QList<Row> rows;
    if (!title.isEmpty())
        rows.append({title, sized(title, titleShare, titlePixels), normal});
    if (!subtitle.isEmpty())
        rows.append({subtitle, sized(subtitle, subtitleShare, subtitlePixels), normal});
    if (!note.isEmpty())
        rows.append({note, sized(note, noteShare, notePixels), dimmed()});
    int height = 0;
    for (const Row &row : std::as_const(rows))
        height += QFontMetrics(row.font, painter.device()).lineSpacing();
    int top = area.top() + (area.height() - height) / 2;
    const int room = int(area.width() * 0.9);
    for (const Row &row : std::as_const(rows)) {
        const QFontMetrics metrics(row.font, painter.device());
        painter.setFont(row.font);
        painter.setPen(row.colour);
        const QString shown = metrics.elidedText(row.text, Qt::ElideRight, room);
        painter.drawText(QRect(area.left(), top, area.width(), metrics.lineSpacing()),
                         Qt::AlignHCenter | Qt::AlignTop, shown);
        top += metrics.lineSpacing();
    }
}

void StagePainter::countdown(int marks, int y, int lineSpacing)
{
    const int diameter = std::clamp(lineSpacing / 3, 6, std::max(6, area.height() / 20));
    const int step = diameter * 2;
    const int left = area.left() + (area.width() - (3 * step - diameter)) / 2;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(highlight);
    for (int i = 0; i < marks; ++i)
        painter.drawEllipse(QRect(left + i * step, y - diameter / 2, diameter, diameter));
    painter.restore();
}

void StagePainter::notice(const QString &text)
{
    QFont noticeFont = sized(text, noticeShare, noticePixels);
    noticeFont.setPixelSize(std::min(noticeFont.pixelSize(), largestNoticePixels));
    const QFontMetrics metrics(noticeFont, painter.device());
    const int margin = std::max(4, metrics.height() / 3);
    const QSize plate(metrics.horizontalAdvance(text) + 2 * margin, metrics.height() + margin);
    const QRect where(area.right() + 1 - margin - plate.width(), area.top() + margin,
                      plate.width(), plate.height());
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    QColor plateColour = dimmed();
    plateColour.setAlpha(110);
    painter.setBrush(plateColour);
    painter.drawRoundedRect(where, margin, margin);
    painter.setFont(noticeFont);
    painter.setPen(normal);
    painter.drawText(where, Qt::AlignCenter, text);
    painter.restore();
}
