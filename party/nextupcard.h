#ifndef NEXTUPCARD_H
#define NEXTUPCARD_H

#include <QString>

class QPainter;
class QRect;

// The card the stage shows before a queued song: "Next up: <singer> — <title>", painted as
// plain text (a singer named <b>x</b> shows those very characters).
// GUI thread only.
class NextUpCard
{
public:
    static QString text(const QString &singer, const QString &title);
    // The text centred in area, word-wrapped, as large as fits up to the painter's font size.
    static void paint(QPainter &painter, const QRect &area, const QString &text);
};

#endif // NEXTUPCARD_H
