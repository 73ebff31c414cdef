#ifndef LIBRARYSONG_H
#define LIBRARYSONG_H

#include <QString>

// One song of the library as searches hand it out.
struct LibrarySong
{
    qint64 id = 0;
    QString path, title, artist, album;
    int seconds = 0;
    bool hasLyrics = false;
    bool hasGraphics = false;
};

#endif // LIBRARYSONG_H
