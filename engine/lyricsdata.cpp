#include "lyricsdata.h"

LyricsData::LyricsData(const QString &text, qint32 highlightStart, qint32 highlightEnd)
    : text(text), highlightStart(highlightStart), highlightEnd(highlightEnd)
{}
