#include "pagebuilder.h"

#include <algorithm>

namespace {

struct Page
{
    QVector<LyricLine> lines;
    qint64 breakMs = -1; // the instrumental break that ended the page, if one did
};

// The pages in order, breaks already folded into them.
QVector<Page> layOut(const LyricSheet &sheet)
{
    QVector<Page> pages;
    Page page;
    auto close = [&] {
        if (!page.lines.isEmpty())
            pages.append(page);
        page = Page();
    };
    for (qsizetype i = 0; i < sheet.size();) {
        if (sheet[i].isBreak()) {
            if (!page.lines.isEmpty()) {
                page.breakMs = sheet[i].ms;
                close();
            } else if (!pages.isEmpty() && pages.last().breakMs < 0) {
                pages.last().breakMs = sheet[i].ms; // a full page followed by a break
            }
            ++i;
            continue;
        }
        // Lines sharing a time (an original and its translation) stay together when they fit.
        qsizetype groupEnd = i + 1;
        while (groupEnd < sheet.size() && !sheet[groupEnd].isBreak() &&
               sheet[groupEnd].ms == sheet[i].ms)
            ++groupEnd;
        if (page.lines.size() + (groupEnd - i) > PageBuilder::linesPerPage)
            close();
        for (; i < groupEnd; ++i) {
            if (page.lines.size() == PageBuilder::linesPerPage)
                close();
            page.lines.append(sheet[i]);
        }
    }
    close();
    return pages;
}

// When the page's last line is known to end: its closing word stamp (the latest among lines
// sharing its time) or the break after it, whichever comes first; -1 when unknown.
qint64 pageEnd(const Page &page)
{
    const qint64 lastStart = page.lines.last().ms;
    qint64 end = -1;
    for (const LyricLine &line : page.lines) {
        if (line.ms == lastStart && line.endMs >= 0)
            end = std::max(end, line.endMs);
    }
    if (page.breakMs >= 0)
        end = end < 0 ? page.breakMs : std::min(end, page.breakMs);
    return end;
}

} // namespace

DisplayTimeline PageBuilder::build(const LyricSheet &sheet)
{
    const QVector<Page> pages = layOut(sheet);
    DisplayTimeline timeline;
    qint64 shownAt = 0;
    for (qsizetype p = 0; p < pages.size(); ++p) {
        const Page &page = pages[p];

        // Where each line ends in the page text, and the wipe targets: (when, up to where).
        QString text;
        QVector<QPair<qint64, int>> wipes;
        for (const LyricLine &line : page.lines) {
            if (!text.isEmpty())
                text += QLatin1Char('\n');
            const int offset = int(text.size());
            text += line.text;
            if (line.words.isEmpty()) {
                wipes.append({line.ms, int(text.size())});
            } else {
                for (const LyricWord &word : line.words)
                    wipes.append({word.ms, offset + word.end});
            }
        }
        std::stable_sort(wipes.begin(), wipes.end(),
                         [](const auto &a, const auto &b) { return a.first < b.first; });

        qint64 nextShownAt = -1;
        if (p + 1 < pages.size()) {
            nextShownAt = pages[p + 1].lines.first().ms;
            const qint64 end = pageEnd(page);
            if (end >= 0)
                nextShownAt = std::min(nextShownAt, end);
            nextShownAt = std::max(nextShownAt, shownAt);
        }

        DisplayEvent shown;
        shown.kind = DisplayEvent::Kind::Page;
        shown.ms = shownAt;
        shown.page = text;
        timeline.append(shown);

        int wiped = 0;
        for (qsizetype w = 0; w < wipes.size(); ++w) {
            const qint64 ms = std::max(wipes[w].first, shownAt);
            if (nextShownAt >= 0 && ms >= nextShownAt)
                break; // sung after the page was replaced: never seen
            // Everything due at the same moment is one wipe, to the farthest point.
            int end = wipes[w].second;
            while (w + 1 < wipes.size() && std::max(wipes[w + 1].first, shownAt) == ms)
                end = std::max(end, wipes[++w].second);
            if (end <= wiped)
                continue;
            wiped = end;
            DisplayEvent highlight;
            highlight.kind = DisplayEvent::Kind::Highlight;
            highlight.ms = ms;
            highlight.highlightStart = 0;
            highlight.highlightEnd = end;
            timeline.append(highlight);
        }
        shownAt = nextShownAt;
    }
    return timeline;
}
