#ifndef PAGEBUILDER_H
#define PAGEBUILDER_H

#include "displayevent.h"
#include "lyricline.h"

// Lays timed lyric lines out as the display shows them: pages of up to four consecutive lines
// (an instrumental break ends a page early, lines sharing a time stay on one page), each page
// appearing while the one before is finished, and a karaoke wipe from the page's start to the
// end of the line or word being sung.
class PageBuilder
{
public:
    static constexpr int linesPerPage = 4;

    // The first page appears at ms 0; each following page at the earlier of the end of the
    // previous page's last line, where known (its closing word stamp or a break), and the start
    // of its own first line. A page starts unhighlighted; the wipe only grows within a page.
    static DisplayTimeline build(const LyricSheet &sheet);
};

#endif
