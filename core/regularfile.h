#ifndef REGULARFILE_H
#define REGULARFILE_H

#include <QByteArray>
#include <QString>

// Opens files whose names come from outside the program (songs, lists, lyrics, the command line,
// a drop, another program on the session bus) only when they are regular files. Such a name may
// be a pipe nobody writes to, a device that never ends, a folder or a file far larger than
// anything the player reads: a pipe or device is refused before it can block, and a size is
// checked before anything is allocated for it. Names go to the system through LocalFileName, so
// a name that is not valid UTF-8 opens too. Any thread.
class RegularFile
{
public:
    // Whether path, followed through links, is a regular file now (stat only; nothing opened).
    static bool isRegular(const QString &path);
    // Whether path names something that exists but is not a regular file: a folder, a pipe, a
    // device or a socket. False for a missing path.
    static bool isSpecial(const QString &path);
    // A descriptor for reading the regular file at path (close-on-exec, reads blocking as on any
    // regular file), or -1 with failure saying why. The caller closes it.
    static int open(const QString &path, QString *failure = nullptr);
    static int open(const char *localName, QString *failure = nullptr);
    // The whole file, when it is regular and holds at most maxBytes. False with bytes untouched
    // otherwise, failure saying why: the system's reason, notRegularText, or tooLarge.
    static bool read(const QString &path, qint64 maxBytes, QByteArray &bytes, QString *failure,
                     const QString &tooLarge = QStringLiteral("It is too large."));

    static QString notRegularText();
};

#endif // REGULARFILE_H
