#include "songtags.h"

#include "regularfile.h"

#include <QFileInfo>

#include <taglib/id3v2framefactory.h>
#include <taglib/mpegfile.h>
#include <taglib/tag.h>
#include <taglib/tfilestream.h>

namespace {

QString fromTagLib(const TagLib::String &text)
{
    return QString::fromUtf8(text.toCString(true)).trimmed();
}

} // namespace

SongTags SongTags::read(const QString &path)
{
    SongTags tags;
    // Only a regular file: a pipe would block the reader for good, a device never end.
    const int fd = RegularFile::open(path);
    if (fd >= 0) {
        TagLib::FileStream stream(fd, true); // closes fd
        const TagLib::MPEG::File file(&stream, TagLib::ID3v2::FrameFactory::instance(), false);
        if (file.isValid() && file.tag()) {
            tags.title = fromTagLib(file.tag()->title());
            tags.artist = fromTagLib(file.tag()->artist());
            tags.album = fromTagLib(file.tag()->album());
        }
    }
    if (tags.title.isEmpty())
        tags.title = QFileInfo(path).fileName();
    return tags;
}
