#ifndef LYRICSDATA_H
#define LYRICSDATA_H

#include <QString>
#include <QtGlobal>

// One lyrics page as it stood at one frame; never changed after creation. Owned by the
// LyricsDecoder that made it; everyone else only holds pointers.
class LyricsData
{
public:
    LyricsData() = default; // the default page: empty, no highlight
    LyricsData(const QString &text, qint32 highlightStart, qint32 highlightEnd);

    const QString text;              // lines separated by "\n"
    const qint32 highlightStart = 0; // UTF-16 index of the first highlighted character
    const qint32 highlightEnd = 0;   // just past the last; 0 and 0 mean no highlight
};

#endif
