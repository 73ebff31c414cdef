#ifndef LRCPARSER_H
#define LRCPARSER_H

#include "lyricline.h"

class QByteArray;
class QString;

// Reads LRC lyrics as people write them: "[mm:ss]", "[mm:ss.x]", "[mm:ss.xx]", "[mm:ss.xxx]",
// "[mm:ss:xx]" (hundredths) and "[h:mm:ss.xx]" line stamps, several stamps on one line, header
// tags (only "[offset:+/-ms]" counts: a positive offset shows the lyrics earlier), word stamps
// "<mm:ss.xx>" inside a line (a last stamp with no word after it ends the last word), and lines
// without stamps, which are skipped.
class LrcParser
{
public:
    // The timed lines sorted by time, lines sharing a time in file order; empty timed lines
    // are instrumental breaks. Empty when nothing in the text is timed.
    static LyricSheet parse(const QString &text);
    // Same, from a file's bytes in any encoding LyricsEncoding recognises.
    static LyricSheet parse(const QByteArray &bytes);

    // Parses one stamp's inside ("01:02.50", "1:02:03.5", "01:02:50"); -1 when it is not one.
    static qint64 parseStamp(QStringView stamp);

    // Guards against hostile files: a sheet never holds more text than this (UTF-16 units).
    static constexpr qsizetype maxSheetText = 4 * 1024 * 1024;
};

#endif
