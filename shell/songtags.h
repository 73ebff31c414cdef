#ifndef SONGTAGS_H
#define SONGTAGS_H

#include <QString>

// What a song's tag says about it, for desktop media widgets: what the tag lacks stays empty, but
// the title falls back to the file name, so a song always has something to show.
class SongTags
{
public:
    static SongTags read(const QString &path);

    QString title;
    QString artist;
    QString album;
};

#endif // SONGTAGS_H
