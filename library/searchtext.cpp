#include "searchtext.h"

#include <QChar>
#include <QStringList>

namespace {

bool isCjk(char32_t c)
{
    switch (QChar::script(c)) {
    case QChar::Script_Han:
    case QChar::Script_Hiragana:
    case QChar::Script_Katakana:
    case QChar::Script_Hangul:
    case QChar::Script_Bopomofo:
        return true;
    default:
        return false;
    }
}

bool isMark(char32_t c)
{
    const auto category = QChar::category(c);
    return category == QChar::Mark_NonSpacing || category == QChar::Mark_SpacingCombining ||
           category == QChar::Mark_Enclosing;
}

bool isWordCharacter(char32_t c)
{
    return QChar::isLetterOrNumber(c);
}

// Code points of the folded text: NFKD, marks dropped, case folded.
QList<uint> folded(const QString &text)
{
    QList<uint> out;
    const QList<uint> points = text.normalized(QString::NormalizationForm_KD).toCaseFolded().toUcs4();
    out.reserve(points.size());
    for (uint c : points)
        if (!isMark(c))
            out.append(c);
    return out;
}

} // namespace

QString SearchText::forIndex(const QString &text)
{
    QString out;
    out.reserve(text.size() + 8);
    for (uint c : folded(text)) {
        if (isCjk(c)) {
            out += QLatin1Char(' ');
            out += QString::fromUcs4(reinterpret_cast<const char32_t *>(&c), 1);
            out += QLatin1Char(' ');
        } else {
            out += QString::fromUcs4(reinterpret_cast<const char32_t *>(&c), 1);
        }
    }
    return out;
}

QString SearchText::matchQuery(const QString &words)
{
    QStringList terms;
    QString word;
    QStringList cjkRun;
    const auto endWord = [&] {
        if (!word.isEmpty())
            terms << QLatin1Char('"') + word + QLatin1String("\"*");
        word.clear();
    };
    const auto endRun = [&] {
        if (!cjkRun.isEmpty())
            terms << QLatin1Char('"') + cjkRun.join(QLatin1Char(' ')) + QLatin1Char('"');
        cjkRun.clear();
    };
    for (uint c : folded(words)) {
        const QString character = QString::fromUcs4(reinterpret_cast<const char32_t *>(&c), 1);
        if (isCjk(c)) {
            endWord();
            cjkRun << character;
        } else if (isWordCharacter(c)) {
            endRun();
            word += character;
        } else {
            endWord();
            endRun();
        }
    }
    endWord();
    endRun();
    return terms.join(QLatin1Char(' '));
}
