#include "jsonline.h"

#include <QString>

QByteArray JsonLine::page(int frame, qint64 ms, const QString &text)
{
    return "{\"frame\":" + QByteArray::number(frame) + ",\"ms\":" + QByteArray::number(ms) +
           ",\"page\":" + quoted(text) + "}";
}

QByteArray JsonLine::highlight(int frame, qint64 ms, int start, int end)
{
    return "{\"frame\":" + QByteArray::number(frame) + ",\"ms\":" + QByteArray::number(ms) +
           ",\"highlight\":[" + QByteArray::number(start) + "," + QByteArray::number(end) + "]}";
}

QByteArray JsonLine::quoted(const QString &text)
{
    QByteArray out = "\"";
    const QByteArray utf8 = text.toUtf8();
    for (char c : utf8) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (uchar(c) < 0x20)
                out += "\\u00" + QByteArray::number(uchar(c), 16).rightJustified(2, '0');
            else
                out += c;
        }
    }
    return out + "\"";
}
