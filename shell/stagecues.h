#ifndef STAGECUES_H
#define STAGECUES_H

#include "displayevent.h"

#include <QList>
#include <QString>

// When a song's singing begins and resumes, found from its lyrics timeline: before the first
// sung page, and before every page whose first word follows 5 s or more without singing, a cue
// shows the coming page dimmed and, over its last 3 s, a countdown of 3, 2 and 1 marks. Before
// the first cue lies the introduction, for the song's title card. Times in ms from the song's
// first sample.
class StageCues
{
public:
    static constexpr qint64 gapMs = 5000;       // a silence this long earns a cue
    static constexpr qint64 countdownMs = 3000; // one mark per second before the first word
    static constexpr qint64 leadInMs = 5000;    // the first cue begins this long before singing

    struct Cue
    {
        qint64 from = 0;      // the gap's start: the page shows dimmed from here
        qint64 firstWord = 0; // when its first word is sung
        QString page;         // the coming page, lines separated by "\n"
    };

    // What the stage shows at one moment.
    struct Moment
    {
        bool introduction = false; // before the first cue
        int cue = -1;              // index of the cue under way, or -1
        int marks = 0;             // 1 to 3 while counting down, else 0

        bool operator==(const Moment &o) const
        {
            return introduction == o.introduction && cue == o.cue && marks == o.marks;
        }
        bool operator!=(const Moment &o) const { return !(*this == o); }
    };

    StageCues() = default;
    explicit StageCues(const DisplayTimeline &timeline);

    const QList<Cue> &cues() const { return list; }
    Moment at(qint64 ms) const;
    // The first moment after ms at which at() gives something else; -1 when nothing changes.
    qint64 nextChangeAfter(qint64 ms) const;

private:
    QList<Cue> list; // in time order
};

#endif // STAGECUES_H
