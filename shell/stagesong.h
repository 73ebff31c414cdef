#ifndef STAGESONG_H
#define STAGESONG_H

#include "stagecues.h"

#include <QString>

// What the stage knows of a song besides its pages: its title and artist for the title card
// (the tag first, else the "[ti:]" and "[ar:]" lines of its LRC file, else the file's name),
// whether it has lyrics, and where the cues before its singing go. Reads files: call read() off
// the GUI thread.
class StageSong
{
public:
    // Any thread.
    static StageSong read(const QString &songPath);

    QString path;
    QString title;
    QString artist;
    bool hasLyrics = false;
    StageCues cues;

private:
    // The title and artist lines of the song's LRC file, if it has one.
    static void readLrcHeader(const QString &songPath, QString *title, QString *artist);
};

#endif // STAGESONG_H
