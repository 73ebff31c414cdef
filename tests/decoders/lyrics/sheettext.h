#ifndef SHEETTEXT_H
#define SHEETTEXT_H

#include "lyricline.h"

#include <QStringList>

// Timed lines written compactly so a test case reads like the expected lyrics:
// "1000:Hello world{1000@0-5,1500@6-11}~2000 | 3000:" (time, text, words with their time and
// UTF-16 range, end of the last word; an empty text is a break).
inline QString sheetText(const LyricSheet &sheet)
{
    QStringList out;
    for (const LyricLine &line : sheet) {
        QString s = QStringLiteral("%1:%2").arg(line.ms).arg(line.text);
        QStringList words;
        for (const LyricWord &w : line.words)
            words << QStringLiteral("%1@%2-%3").arg(w.ms).arg(w.start).arg(w.end);
        if (!words.isEmpty())
            s += QLatin1Char('{') + words.join(QLatin1Char(',')) + QLatin1Char('}');
        if (line.endMs >= 0)
            s += QStringLiteral("~%1").arg(line.endMs);
        out << s;
    }
    return out.join(QLatin1String(" | "));
}

#endif
