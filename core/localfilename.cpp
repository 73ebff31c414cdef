#include "localfilename.h"

#include <QFile>
#include <QStringDecoder>
#include <QUrl>

namespace {

constexpr char16_t escapeBase = 0xdc00; // a byte b is escaped as escapeBase + b, b >= 0x80

bool isContinuation(unsigned char byte)
{
    return (byte & 0xc0) == 0x80;
}

// The length of the valid UTF-8 sequence at bytes[at], or 0 when none starts there.
int validSequence(const QByteArray &bytes, qsizetype at, char32_t &codePoint)
{
    const auto byte = [&](qsizetype i) { return static_cast<unsigned char>(bytes[at + i]); };
    const unsigned char lead = byte(0);
    int length = 0;
    char32_t minimum = 0;
    if (lead < 0x80)
        length = 1, codePoint = lead;
    else if (lead >= 0xc2 && lead <= 0xdf)
        length = 2, codePoint = lead & 0x1f, minimum = 0x80;
    else if (lead >= 0xe0 && lead <= 0xef)
        length = 3, codePoint = lead & 0x0f, minimum = 0x800;
    else if (lead >= 0xf0 && lead <= 0xf4)
        length = 4, codePoint = lead & 0x07, minimum = 0x10000;
    else
        return 0;
    if (at + length > bytes.size())
        return 0;
    for (int i = 1; i < length; ++i) {
        if (!isContinuation(byte(i)))
            return 0;
        codePoint = (codePoint << 6) | (byte(i) & 0x3f);
    }
    const bool surrogate = codePoint >= 0xd800 && codePoint <= 0xdfff;
    if (codePoint < minimum || surrogate || codePoint > 0x10ffff)
        return 0;
    return length;
}

bool isEscape(char16_t unit)
{
    return unit >= escapeBase + 0x80 && unit <= escapeBase + 0xff;
}

} // namespace

QString LocalFileName::decode(const QByteArray &name)
{
    QStringDecoder strict(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const QString plain = strict.decode(name);
    if (!strict.hasError())
        return plain;
    QString text;
    text.reserve(name.size());
    for (qsizetype at = 0; at < name.size();) {
        char32_t codePoint = 0;
        const int length = validSequence(name, at, codePoint);
        if (length == 0) {
            text += QChar(char16_t(escapeBase + static_cast<unsigned char>(name[at])));
            ++at;
            continue;
        }
        text += QString::fromUcs4(&codePoint, 1);
        at += length;
    }
    return text;
}

QByteArray LocalFileName::encode(const QString &name)
{
    QByteArray bytes;
    bytes.reserve(name.size());
    qsizetype plainFrom = 0;
    for (qsizetype at = 0; at < name.size(); ++at) {
        const char16_t unit = name[at].unicode();
        // A low surrogate after a high one is half of a pair, not an escape.
        if (!isEscape(unit) || (at > 0 && name[at - 1].isHighSurrogate()))
            continue;
        bytes += QStringView(name).mid(plainFrom, at - plainFrom).toUtf8();
        bytes += char(unit - escapeBase);
        plainFrom = at + 1;
    }
    if (plainFrom == 0)
        return QFile::encodeName(name);
    bytes += QStringView(name).mid(plainFrom).toUtf8();
    return bytes;
}

QString LocalFileName::fromUrl(const QString &url)
{
    const QUrl parsed(url);
    if (!parsed.isLocalFile())
        return QString();
    if (!parsed.host().isEmpty())
        return parsed.toLocalFile(); // a share, "//host/..."
    return decode(QByteArray::fromPercentEncoding(parsed.path(QUrl::FullyEncoded).toLatin1()));
}
