#ifndef JSONLINE_H
#define JSONLINE_H

#include <QByteArray>

class QString;

// The one-object-per-line output of "kivo-lyrics show --json", keys in a fixed order.
class JsonLine
{
public:
    // {"frame":F,"ms":M,"page":"TEXT"}
    static QByteArray page(int frame, qint64 ms, const QString &text);
    // {"frame":F,"ms":M,"highlight":[START,END]}
    static QByteArray highlight(int frame, qint64 ms, int start, int end);
    // A JSON string literal, quotes included, in UTF-8.
    static QByteArray quoted(const QString &text);
};

#endif
