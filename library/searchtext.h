#ifndef SEARCHTEXT_H
#define SEARCHTEXT_H

#include <QString>

// The one folding that indexed text and typed queries both go through, so that case, accents and
// compatibility forms never matter (é = e, Ａ = A, ｶ = カ): NFKD, combining marks dropped, case
// folded. Han, kana and Hangul characters stand apart as words of one character each, so a
// Japanese or Chinese title is found by any part of it (a phrase of consecutive characters).
// Any thread.
class SearchText
{
public:
    // text folded and with its CJK characters spaced out, for the full-text index.
    static QString forIndex(const QString &text);
    // The typed words as an FTS5 query: every word must occur, in any column and any order, each
    // as a prefix; a run of CJK characters must occur as it stands. Empty when nothing searchable
    // was typed.
    static QString matchQuery(const QString &words);
};

#endif // SEARCHTEXT_H
