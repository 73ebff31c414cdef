// How long "kivo-lyrics show" takes on a five-minute song with word-stamped lyrics, and how many
// events the two-bytes-per-frame content stream delivers on their exact frame as the words get
// denser. Usage: bench_kivolyrics [seconds]   (default 300)
#include "deliveryreport.h"
#include "mp3fixtures.h"
#include "songlyrics.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

QString stamp(qint64 ms)
{
    return QStringLiteral("%1:%2.%3")
        .arg(ms / 60000, 2, 10, QLatin1Char('0'))
        .arg(ms / 1000 % 60, 2, 10, QLatin1Char('0'))
        .arg(ms % 1000 / 10, 2, 10, QLatin1Char('0'));
}

// Lines of wordsPerLine words, wordMs apart, with a closing stamp and a short pause after each
// line; an instrumental break every twelve lines.
QByteArray wordLyrics(int seconds, int wordMs, int wordsPerLine)
{
    static const char *const words[] = {"shine", "on",    "the",   "river",   "and",
                                        "we",    "sing",  "along", "tonight", "under",
                                        "a",     "paper", "moon"};
    QString lrc = QStringLiteral("[ti:Benchmark]\n");
    qint64 ms = 1000;
    int line = 0;
    while (ms + wordMs * wordsPerLine < seconds * 1000LL - 1000) {
        lrc += QLatin1Char('[') + stamp(ms) + QLatin1Char(']');
        for (int w = 0; w < wordsPerLine; ++w) {
            lrc += QLatin1Char('<') + stamp(ms) + QLatin1Char('>') +
                   QLatin1String(words[(line * 7 + w) % 13]) + QLatin1Char(' ');
            ms += wordMs;
        }
        lrc += QLatin1Char('<') + stamp(ms) + QLatin1String(">\n");
        ms += wordMs * 2;
        if (++line % 12 == 0) {
            lrc += QLatin1Char('[') + stamp(ms) + QLatin1String("]\n");
            ms += 4000;
        }
    }
    return lrc.toUtf8();
}

struct Result
{
    qint64 medianMs = 0;
    QString summary;
    double onTimeShare = 0;
};

Result measure(const QString &tool, const QString &song, int runs)
{
    Result result;
    QList<qint64> times;
    QByteArray out;
    for (int r = 0; r < runs; ++r) {
        QProcess process;
        QElapsedTimer clock;
        clock.start();
        process.start(tool, {QStringLiteral("show"), QStringLiteral("--json"), song});
        if (!process.waitForFinished(600000) || process.exitCode() != 0) {
            std::fprintf(stderr, "kivo-lyrics show failed: %s\n",
                         process.readAllStandardError().constData());
            return result;
        }
        times << clock.elapsed();
        out = process.readAllStandardOutput();
    }
    std::sort(times.begin(), times.end());
    result.medianMs = times[times.size() / 2];

    QVector<DeliveryReport::Delivered> delivered;
    for (const QByteArray &line : out.split('\n')) {
        const QJsonObject o = QJsonDocument::fromJson(line).object();
        if (o.isEmpty())
            continue;
        DeliveryReport::Delivered d;
        d.frame = o.value(QLatin1String("frame")).toInt();
        d.event.ms = o.value(QLatin1String("ms")).toInteger();
        if (o.contains(QLatin1String("page"))) {
            d.event.kind = DisplayEvent::Kind::Page;
            d.event.page = o.value(QLatin1String("page")).toString();
        } else {
            const QJsonArray range = o.value(QLatin1String("highlight")).toArray();
            d.event.kind = DisplayEvent::Kind::Highlight;
            d.event.highlightStart = range.at(0).toInt();
            d.event.highlightEnd = range.at(1).toInt();
        }
        delivered.append(d);
    }
    const DisplayTimeline expected = SongLyrics::forSong(song).timeline();
    const DeliveryReport report(expected, delivered);
    result.summary = report.summary();
    result.onTimeShare = expected.isEmpty() ? 0 : 100.0 * report.onTime / expected.size();
    return result;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(10, atoi(argv[1])) : 300;
    const QString tool = QStringLiteral(KIVO_LYRICS_TOOL);
    QTemporaryDir dir;

    Mp3Fixtures::Sine sine;
    sine.seconds = seconds;
    const QByteArray mp3 = Mp3Fixtures::encodeSine(sine);
    if (mp3.isEmpty()) {
        std::fprintf(stderr, "could not encode the song\n");
        return 1;
    }

    struct Case
    {
        const char *name;
        int wordMs;
        int wordsPerLine;
    };
    const Case cases[] = {{"word-stamped song, a word every 400 ms", 400, 7},
                          {"dense song, a word every 150 ms", 150, 8},
                          {"very dense song, a word every 80 ms", 80, 8}};
    std::printf("kivo-lyrics show --json on a %d:%02d song (median of 3 runs)\n", seconds / 60,
                seconds % 60);
    int n = 0;
    for (const Case &c : cases) {
        const QString base = dir.filePath(QStringLiteral("song%1").arg(++n));
        const QByteArray lrc = wordLyrics(seconds, c.wordMs, c.wordsPerLine);
        QFile song(base + QLatin1String(".mp3"));
        QFile lyrics(base + QLatin1String(".lrc"));
        if (!song.open(QIODevice::WriteOnly) || song.write(mp3) != mp3.size() ||
            !lyrics.open(QIODevice::WriteOnly) || lyrics.write(lrc) != lrc.size())
            return 1;
        song.close();
        lyrics.close();

        QElapsedTimer clock;
        clock.start();
        const int layouts = 20;
        for (int i = 0; i < layouts; ++i)
            SongLyrics::forSong(song.fileName());
        const double layoutMs = double(clock.nsecsElapsed()) / 1e6 / layouts;

        const Result result = measure(tool, song.fileName(), 3);
        std::printf("%s:\n  show %lld ms; lyrics parsed and laid out in %.2f ms\n  %s\n  "
                    "on their exact frame: %.1f%%\n",
                    c.name, result.medianMs, layoutMs, qPrintable(result.summary),
                    result.onTimeShare);
    }
    return 0;
}
