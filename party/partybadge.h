#ifndef PARTYBADGE_H
#define PARTYBADGE_H

#include <QImage>
#include <QString>

class QPainter;
class QRect;

// How phones join: the QR code of the joining address with the address under it, painted into
// any rectangle (the stage between songs, its corner while songs play, the Party Mode dialog).
// GUI thread only.
class PartyBadge
{
public:
    // An empty address paints nothing.
    void setAddress(const QString &url);
    QString address() const { return url; }
    QImage code() const { return qr; }

    // The code as large as fits, square and sharp, on white, and the address as plain text below
    // it when there is room for a line.
    void paint(QPainter &painter, const QRect &area) const;

private:
    QString url;
    QImage qr;
};

#endif // PARTYBADGE_H
