#include "lyricsencoding.h"

#include <QByteArray>
#include <QStringDecoder>

#include <uchardet/uchardet.h>

namespace {

QString decodeWith(QStringConverter::Encoding encoding, const QByteArray &bytes)
{
    QStringDecoder decoder(encoding);
    return decoder.decode(bytes);
}

} // namespace

QString LyricsEncoding::decode(const QByteArray &bytes)
{
    struct Bom
    {
        const char *mark;
        int size;
        QStringConverter::Encoding encoding;
    };
    // UTF-32 first: its little-endian mark begins like UTF-16's.
    static const Bom boms[] = {
        {"\xff\xfe\x00\x00", 4, QStringConverter::Utf32LE},
        {"\x00\x00\xfe\xff", 4, QStringConverter::Utf32BE},
        {"\xef\xbb\xbf", 3, QStringConverter::Utf8},
        {"\xff\xfe", 2, QStringConverter::Utf16LE},
        {"\xfe\xff", 2, QStringConverter::Utf16BE},
    };
    for (const Bom &bom : boms) {
        if (bytes.startsWith(QByteArrayView(bom.mark, bom.size)))
            return decodeWith(bom.encoding, bytes.mid(bom.size));
    }

    QStringDecoder utf8(QStringConverter::Utf8);
    const QString asUtf8 = utf8.decode(bytes);
    if (!utf8.hasError())
        return asUtf8;

    QStringDecoder legacy(guessLegacy(bytes).constData());
    if (!legacy.isValid())
        legacy = QStringDecoder("windows-1252");
    if (!legacy.isValid())
        return decodeWith(QStringConverter::Latin1, bytes);
    return legacy.decode(bytes);
}

QByteArray LyricsEncoding::guessLegacy(const QByteArray &bytes)
{
    QByteArray name;
    if (uchardet_t detector = uchardet_new()) {
        if (uchardet_handle_data(detector, bytes.constData(), size_t(bytes.size())) == 0) {
            uchardet_data_end(detector);
            name = uchardet_get_charset(detector);
        }
        uchardet_delete(detector);
    }
    // Text called Latin-1 is in practice Windows-1252, which also has the curly quotes and
    // dashes that Latin-1 would turn into control characters.
    if (name.isEmpty() || name.compare("ISO-8859-1", Qt::CaseInsensitive) == 0 ||
        name.compare("ASCII", Qt::CaseInsensitive) == 0)
        return "windows-1252";
    return name;
}
