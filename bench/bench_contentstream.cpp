// How punctual the content stream is: the share of lyrics events that take effect on their
// exact frame, for synthetic word-stamped songs of rising density, and what encoding costs.
// Usage: bench_contentstream [seconds]   (song length, default 300)

#include "contentstream.h"
#include "contentstreamdecoder.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTextStream>

namespace {

struct Song
{
    const char *name;
    int wordMs; // mean time between word stamps
    int wordsPerLine;
    bool wideScript; // three UTF-8 bytes per character instead of one
};

// Pages of four lines, each line's words wiped one by one; the next page at the end of the last
// line, the first page at the start of the song (as the page builder makes them).
DisplayTimeline makeSong(const Song &song, qint64 lengthMs, quint32 seed)
{
    QRandomGenerator random(seed);
    DisplayTimeline timeline;
    qint64 t = 5000; // an intro before the first word
    const QString syllables = song.wideScript ? QString::fromUtf8("夜駆ける歌声星空光心風")
                                              : "abcdefghijklmnopqrstuvwxyz";
    bool firstPage = true;
    while (t < lengthMs) {
        QStringList lines;
        QVector<QVector<int>> wordEnds; // per line, end of each word within the line
        for (int l = 0; l < 4; ++l) {
            QString line;
            QVector<int> ends;
            for (int w = 0; w < song.wordsPerLine; ++w) {
                if (w)
                    line += ' ';
                const int len = int(random.bounded(2, song.wideScript ? 4 : 8));
                for (int c = 0; c < len; ++c)
                    line += syllables.at(int(random.bounded(syllables.size())));
                ends << int(line.size());
            }
            lines << line;
            wordEnds << ends;
        }
        DisplayEvent page;
        page.ms = firstPage ? 0 : t;
        page.page = lines.join('\n');
        timeline << page;
        firstPage = false;
        int offset = 0;
        for (int l = 0; l < 4; ++l) {
            for (int end : wordEnds[l]) {
                DisplayEvent wipe;
                wipe.kind = DisplayEvent::Kind::Highlight;
                wipe.ms = t;
                wipe.highlightEnd = offset + end;
                timeline << wipe;
                t += song.wordMs / 2 + int(random.bounded(song.wordMs));
            }
            offset += int(lines[l].size()) + 1;
        }
    }
    return timeline;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const qint64 lengthMs = (argc > 1 ? QByteArray(argv[1]).toLongLong() : 300) * 1000;
    QTextStream out(stdout);
    const Song songs[] = {
        {"ballad, a word every 400 ms", 400, 6, false},
        {"pop, a word every 250 ms", 250, 7, false},
        {"rap, a word every 120 ms", 120, 9, false},
        {"wide script, a word every 250 ms", 250, 7, true},
        {"overload, a word every 40 ms", 40, 10, true},
    };
    out << "song (" << lengthMs / 1000 << " s)  events  on exact frame  superseded  late: mean/max"
        << " frames  encode ms  decode ms\n";
    for (const Song &song : songs) {
        const DisplayTimeline timeline = makeSong(song, lengthMs, 1206);
        QElapsedTimer timer;
        timer.start();
        const ContentStream stream = ContentStream::encode(timeline);
        const double encodeMs = timer.nsecsElapsed() / 1e6;
        timer.restart();
        ContentStreamDecoder decoder;
        for (qint32 f = 1; f <= stream.frameCount(); ++f) {
            quint8 b[2];
            stream.frameBytes(f, b);
            decoder.feed(b[0], b[1]);
        }
        const double decodeMs = timer.nsecsElapsed() / 1e6;
        int exact = 0, superseded = 0, late = 0, maxLate = 0;
        qint64 lateSum = 0;
        for (const ContentStream::ScheduledEvent &e : stream.events()) {
            if (e.lateBy() == 0 && !e.superseded)
                ++exact;
            superseded += e.superseded;
            if (e.lateBy() > 0) {
                ++late;
                lateSum += e.lateBy();
                maxLate = std::max(maxLate, e.lateBy());
            }
        }
        const int n = int(stream.events().size());
        out << song.name << ": " << n << "  " << QString::number(100.0 * exact / n, 'f', 2)
            << " %  " << superseded << "  " << (late ? double(lateSum) / late : 0.0) << "/"
            << maxLate << "  " << QString::number(encodeMs, 'f', 2) << "  "
            << QString::number(decodeMs, 'f', 2) << "\n";
    }
    return 0;
}
