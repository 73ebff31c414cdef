#ifndef DISPLAYEVENT_H
#define DISPLAYEVENT_H

#include <QString>
#include <QVector>

// One change of what the lyrics display shows, at a time in the song counted in milliseconds
// from its first sample. A song's lyrics become a list of these, in time order: the page
// events and the karaoke wipes that the content stream carries frame by frame.
struct DisplayEvent
{
    enum class Kind { Page, Highlight };

    Kind kind = Kind::Page;
    qint64 ms = 0;
    QString page;           // Page: the whole page, lines separated by "\n"; starts unhighlighted
    int highlightStart = 0; // Highlight: UTF-16 positions in the current page, end exclusive
    int highlightEnd = 0;

    bool operator==(const DisplayEvent &o) const
    {
        return kind == o.kind && ms == o.ms && page == o.page &&
               highlightStart == o.highlightStart && highlightEnd == o.highlightEnd;
    }
};

using DisplayTimeline = QVector<DisplayEvent>;

#endif
