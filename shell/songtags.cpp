#include "songtags.h"

#include <QFile>
#include <QFileInfo>

#include <taglib/fileref.h>
#include <taglib/tag.h>

namespace {

QString fromTagLib(const TagLib::String &text)
{
    return QString::fromUtf8(text.toCString(true)).trimmed();
}

} // namespace

SongTags SongTags::read(const QString &path)
{
    SongTags tags;
    const QByteArray name = QFile::encodeName(path);
    const TagLib::FileRef file(name.constData(), false);
    if (!file.isNull() && file.tag()) {
        tags.title = fromTagLib(file.tag()->title());
        tags.artist = fromTagLib(file.tag()->artist());
        tags.album = fromTagLib(file.tag()->album());
    }
    if (tags.title.isEmpty())
        tags.title = QFileInfo(path).fileName();
    return tags;
}
