#include "deliveryreport.h"
#include "jsonline.h"

#include "lrcparser.h"
#include "mp3fixtures.h"
#include "pagebuilder.h"
#include "songlyrics.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using Delivered = QVector<DeliveryReport::Delivered>;

namespace {

DisplayEvent page(qint64 ms, const QString &text)
{
    DisplayEvent e;
    e.kind = DisplayEvent::Kind::Page;
    e.ms = ms;
    e.page = text;
    return e;
}

DisplayEvent wipe(qint64 ms, int end)
{
    DisplayEvent e;
    e.kind = DisplayEvent::Kind::Highlight;
    e.ms = ms;
    e.highlightEnd = end;
    return e;
}

struct Run
{
    int exitCode = -1;
    QString out;
    QString err;
};

Run kivoLyrics(const QStringList &args)
{
    QProcess process;
    process.start(QStringLiteral(KIVO_LYRICS_TOOL), args);
    Run run;
    if (!process.waitForFinished(60000))
        return run;
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

// Two copies of a silent song: "tagged.mp3", into which the tool embeds the lyrics, and
// "beside.mp3" with the same lyrics in "beside.lrc". Returns the embed run.
Run songPair(const QTemporaryDir &dir, const QByteArray &lrc, int frames)
{
    const QString lyrics = dir.filePath(QStringLiteral("lyrics.lrc"));
    for (const char *name : {"tagged.mp3", "beside.mp3"}) {
        if (!Mp3Fixtures::writeFile(dir.filePath(QLatin1String(name)),
                                    Mp3Fixtures::emptyFrames(frames)))
            return {};
    }
    if (!Mp3Fixtures::writeFile(dir.filePath(QStringLiteral("beside.lrc")), lrc) ||
        !Mp3Fixtures::writeFile(lyrics, lrc))
        return {};
    return kivoLyrics(
        {QStringLiteral("embed"), dir.filePath(QStringLiteral("tagged.mp3")), lyrics});
}

} // namespace

class TestKivoLyrics : public QObject
{
    Q_OBJECT

private slots:
    void jsonLines_data();
    void jsonLines();
    void frameTimes_data();
    void frameTimes();
    void deliveryReport();
    void embedFailures_data();
    void embedFailures();
    void embedMatchesSidecar();
    void showFailures_data();
    void showFailures();
    void showPrintsWhatTheStreamDelivers();
    void showSameForEmbeddedAndSidecar();

private:
    QTemporaryDir dir;
};

void TestKivoLyrics::jsonLines_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("expected");
    QTest::addRow("page") << JsonLine::page(1, 0, QStringLiteral("one\ntwo"))
                          << QByteArray(R"({"frame":1,"ms":0,"page":"one\ntwo"})");
    QTest::addRow("quotes and backslashes")
        << JsonLine::page(39, 992, QStringLiteral("say \"hi\" \\o/"))
        << QByteArray(R"({"frame":39,"ms":992,"page":"say \"hi\" \\o/"})");
    QTest::addRow("control characters")
        << JsonLine::page(2, 26, QStringLiteral("a\tb\rc\u0001"))
        << QByteArray(R"({"frame":2,"ms":26,"page":"a\tb\rc\u0001"})");
    QTest::addRow("UTF-8 beyond the BMP")
        << JsonLine::page(3, 52, QStringLiteral("\u6b4c\U0001F3B5"))
        << QByteArray("{\"frame\":3,\"ms\":52,\"page\":\"\xe6\xad\x8c\xf0\x9f\x8e\xb5\"}");
    QTest::addRow("empty page") << JsonLine::page(4, 78, QString())
                                << QByteArray(R"({"frame":4,"ms":78,"page":""})");
    QTest::addRow("highlight") << JsonLine::highlight(11486, 300022, 0, 17)
                               << QByteArray(R"({"frame":11486,"ms":300022,"highlight":[0,17]})");
}

void TestKivoLyrics::jsonLines()
{
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, expected);
    QCOMPARE(line, expected);
}

void TestKivoLyrics::frameTimes_data()
{
    QTest::addColumn<qint64>("ms");
    QTest::addColumn<int>("frame");
    QTest::addRow("start") << qint64(0) << 1;
    QTest::addRow("inside the first frame") << qint64(26) << 1;
    QTest::addRow("second frame") << qint64(27) << 2;
    QTest::addRow("frame 1000 starts at 26096.3") << qint64(26097) << 1000;
    QTest::addRow("frame 1000 ends at 26122.45") << qint64(26122) << 1000;
    QTest::addRow("frame 1001") << qint64(26123) << 1001;
    QTest::addRow("five minutes") << qint64(300000) << 11485;
}

void TestKivoLyrics::frameTimes()
{
    QFETCH(qint64, ms);
    QFETCH(int, frame);
    QCOMPARE(DeliveryReport::dueFrame(ms), frame);
    // A frame's printed time is its start truncated to the millisecond: the next millisecond
    // is inside it.
    QCOMPARE(DeliveryReport::dueFrame(DeliveryReport::frameMs(frame) + 1), frame);
    QVERIFY(DeliveryReport::frameMs(frame) <= ms);
}

void TestKivoLyrics::deliveryReport()
{
    const DisplayTimeline expected{page(0, QStringLiteral("a\nb")), wipe(1000, 1), wipe(2000, 3),
                                   page(3000, QStringLiteral("c")), wipe(4000, 1)};
    // All on their frames, the last one never (the song ended).
    const Delivered onTime{
        {1, expected[0]}, {39, expected[1]}, {77, expected[2]}, {115, expected[3]}};
    DeliveryReport report(expected, onTime);
    QCOMPARE(report.onTime, 4);
    QCOMPARE(report.late, 0);
    QCOMPARE(report.missing, 1);
    QVERIFY(!report.diverged);
    QCOMPARE(report.problems.size(), 1);
    QVERIFY(report.problems.first().startsWith(QLatin1String("never shown")));

    Delivered lateOnes = onTime;
    lateOnes[1].frame = 41;
    lateOnes[3].frame = 120;
    lateOnes.append({154, expected[4]});
    report = DeliveryReport(expected, lateOnes);
    QCOMPARE(report.onTime, 3);
    QCOMPARE(report.late, 2);
    QCOMPARE(report.maxLateFrames, 5);
    QCOMPARE(report.problems.first(),
             QStringLiteral("late by 2 frames: highlight [0,1) due at frame 39 (1000 ms), shown at "
                            "frame 41"));
    QVERIFY(report.summary().contains(QLatin1String("2 late (at most 5 frames)")));

    // Behind schedule, the stream folds a wipe into the longer one after it and drops a page
    // replaced before it could be shown.
    const DisplayTimeline crowded{page(0, QStringLiteral("a\nb")), wipe(1000, 1), wipe(1050, 3),
                                  page(1100, QStringLiteral("c")), page(1200, QStringLiteral("d"))};
    report = DeliveryReport(crowded, {{1, crowded[0]}, {42, crowded[2]}, {47, crowded[4]}});
    QVERIFY(!report.diverged);
    QCOMPARE(report.onTime, 1);
    QCOMPARE(report.late, 3);
    QCOMPARE(report.missing, 1);
    QCOMPARE(
        report.problems,
        QStringList({"late by 3 frames: highlight [0,1) due at frame 39 (1000 ms), taken up "
                     "by a longer wipe at frame 42",
                     "late by 1 frame: highlight [0,3) due at frame 41 (1050 ms), shown at "
                     "frame 42",
                     "never shown (superseded): page \"c\" due at frame 43 (1100 ms)",
                     "late by 1 frame: page \"d\" due at frame 46 (1200 ms), shown at frame 47"}));

    Delivered wrong = onTime;
    wrong[2].event = wipe(2000, 2);
    report = DeliveryReport(expected, wrong);
    QVERIFY(report.diverged);
    QCOMPARE(report.onTime, 2);
}

void TestKivoLyrics::embedFailures_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    QTest::addRow("no arguments") << QStringList{} << 2 << "usage:";
    QTest::addRow("unknown command") << QStringList{"play", "x.mp3"} << 2 << "usage:";
    QTest::addRow("missing song") << QStringList{"embed", "absent.mp3", "good.lrc"} << 1
                                  << "absent.mp3: no such file";
    QTest::addRow("missing lyrics")
        << QStringList{"embed", "song.mp3", "absent.lrc"} << 1 << "absent.lrc: no such file";
    QTest::addRow("not MPEG audio")
        << QStringList{"embed", "good.lrc", "good.lrc"} << 1 << "not MPEG audio";
    QTest::addRow("no timed lyrics")
        << QStringList{"embed", "song.mp3", "untimed.lrc"} << 1 << "no timed lyrics";
    QTest::addRow("show a missing song")
        << QStringList{"show", "--json", "absent.mp3"} << 1 << "absent.mp3: no such file";
}

void TestKivoLyrics::embedFailures()
{
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    QVERIFY(Mp3Fixtures::writeFile(dir.filePath(QStringLiteral("song.mp3")),
                                   Mp3Fixtures::emptyFrames(40)));
    QVERIFY(Mp3Fixtures::writeFile(dir.filePath(QStringLiteral("good.lrc")), "[00:01]a\n"));
    QVERIFY(Mp3Fixtures::writeFile(dir.filePath(QStringLiteral("untimed.lrc")),
                                   "[ar:Someone]\nno stamps\n"));
    QStringList paths;
    for (const QString &arg : args)
        paths << (arg.contains(QLatin1Char('.')) ? dir.filePath(arg) : arg);
    const Run run = kivoLyrics(paths);
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
    QVERIFY(run.out.isEmpty());
}

void TestKivoLyrics::embedMatchesSidecar()
{
    const QByteArray lrc =
        "[ar:Someone]\r\n[offset:-40]\r\n"
        "[00:00.50]<00:00.50>Wake <00:00.90>up, <00:01.30>wake <00:01.70>up<00:02.10>\r\n"
        "[00:00.50]\xe9\x86\x92\xe6\x9d\xa5\r\n"
        "[00:02.40][00:05.00]chorus line\r\n[00:03.00]\r\n[00:03.50]last\r\n";
    const QString tagged = dir.filePath(QStringLiteral("tagged.mp3"));
    const QString beside = dir.filePath(QStringLiteral("beside.mp3"));
    const Run run = songPair(dir, lrc, 300);
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.out.contains(QLatin1String("5 lyric lines with 4 timed words")),
             qPrintable(run.out));
    QVERIFY(run.err.isEmpty());

    const SongLyrics fromTag = SongLyrics::forSong(tagged);
    QCOMPARE(fromTag.source(), QStringLiteral("ID3v2 SYLT"));
    QCOMPARE(fromTag.timeline(), SongLyrics::forSong(beside).timeline());
    QCOMPARE(fromTag.timeline(), PageBuilder::build(LrcParser::parse(lrc)));

    // Embedding again replaces the lyrics rather than adding a second set.
    QVERIFY(Mp3Fixtures::writeFile(dir.filePath(QStringLiteral("lyrics.lrc")), "[00:01]replaced"));
    QCOMPARE(kivoLyrics({QStringLiteral("embed"), tagged, dir.filePath("lyrics.lrc")}).exitCode, 0);
    QCOMPARE(SongLyrics::forSong(tagged).timeline().first().page, QStringLiteral("replaced"));

    // A sidecar would hide what was stored: the tool says so.
    const Run hidden = kivoLyrics({QStringLiteral("embed"), beside, dir.filePath("lyrics.lrc")});
    QCOMPARE(hidden.exitCode, 0);
    QVERIFY(hidden.err.contains(QLatin1String("beside.lrc")));
}

void TestKivoLyrics::showFailures_data()
{
    QTest::addColumn<QString>("song");
    QTest::addColumn<QString>("message");
    QTest::addRow("not MPEG audio") << "notes.mp3"
                                    << "not MPEG audio";
    QTest::addRow("no lyrics") << "plain.mp3"
                               << "no lyrics found";
    QTest::addRow("untimed lyrics beside it") << "bare.mp3"
                                              << "bare.LRC: no timed lyrics in it";
}

void TestKivoLyrics::showFailures()
{
    QFETCH(QString, song);
    QFETCH(QString, message);
    QVERIFY(Mp3Fixtures::writeFile(dir.filePath(QStringLiteral("notes.mp3")),
                                   QByteArray("[00:01]words, not sound\n").repeated(50)));
    QVERIFY(Mp3Fixtures::writeFile(dir.filePath(QStringLiteral("notes.lrc")), "[00:01]a"));
    QVERIFY(Mp3Fixtures::writeFile(dir.filePath(QStringLiteral("plain.mp3")),
                                   Mp3Fixtures::emptyFrames(50)));
    QVERIFY(Mp3Fixtures::writeFile(dir.filePath(QStringLiteral("bare.mp3")),
                                   Mp3Fixtures::emptyFrames(50)));
    QVERIFY(Mp3Fixtures::writeFile(dir.filePath(QStringLiteral("bare.LRC")),
                                   "[ti:Song]\nWords without times\n"));
    const Run run = kivoLyrics({QStringLiteral("show"), dir.filePath(song)});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
}

void TestKivoLyrics::showPrintsWhatTheStreamDelivers()
{
    // A long first page due at once cannot arrive on frame 1: the tool must say how late.
    const QString song = dir.filePath(QStringLiteral("punctual.mp3"));
    QVERIFY(Mp3Fixtures::writeFile(song, Mp3Fixtures::emptyFrames(400)));
    QVERIFY(Mp3Fixtures::writeFile(
        dir.filePath(QStringLiteral("punctual.lrc")),
        "[00:00.00]<00:00.00>A rather long first line <00:02.00>sung at once<00:03.00>\n"
        "[00:04.00]\xe4\xb8\x80\xe4\xba\x8c \"quoted\" \\ line\n[00:05.00]\n"
        "[00:06.00]<00:06.00>word <00:06.30>by <00:06.60>word<00:07.00>\n"));
    const Run run = kivoLyrics({QStringLiteral("show"), QStringLiteral("--json"), song});
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.err.startsWith(QLatin1String("lyrics from punctual.lrc\n")), qPrintable(run.err));

    static const QRegularExpression shape(QStringLiteral(
        R"(^\{"frame":(\d+),"ms":(\d+),("page":"(?:[^"\\]|\\.)*"|"highlight":\[\d+,\d+\])\}$)"));
    Delivered delivered;
    int previousFrame = 0;
    for (const QString &line : run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QRegularExpressionMatch m = shape.match(line);
        QVERIFY2(m.hasMatch(), qPrintable(line));
        const int frame = m.captured(1).toInt();
        QVERIFY(frame >= previousFrame && frame >= 1 && frame <= 400);
        previousFrame = frame;
        QCOMPARE(m.captured(2).toLongLong(), (frame - 1) * 2612245LL / 100000);
        const QJsonObject o = QJsonDocument::fromJson(line.toUtf8()).object();
        DisplayEvent e = o.contains(QLatin1String("page"))
                             ? page(0, o.value(QLatin1String("page")).toString())
                             : wipe(0, o.value(QLatin1String("highlight")).toArray().at(1).toInt());
        delivered.append({frame, e});
    }
    // The events are the lyrics' own, in order; the report on stderr agrees with the frames.
    const DisplayTimeline expected = SongLyrics::forSong(song).timeline();
    QCOMPARE(delivered.size(), expected.size());
    const DeliveryReport report(expected, delivered);
    QVERIFY(!report.diverged);
    QVERIFY(report.late >= 1);
    for (const QString &problem : report.problems)
        QVERIFY2(run.err.contains(problem), qPrintable(problem));
    QVERIFY(run.err.contains(QStringLiteral("late by %1 frames: page \"A rather long")
                                 .arg(delivered.first().frame - 1)));
    QVERIFY(run.err.contains(report.summary()));
}

void TestKivoLyrics::showSameForEmbeddedAndSidecar()
{
    const QByteArray lrc =
        "[offset:+100]\n[00:00.80]<00:00.80>Row, <00:01.20>row, <00:01.60>row<00:02.00>\n"
        "[00:00.80]\xe5\x88\x92\xe8\x88\xb9\n[00:02.50]your boat\n[00:03.50]\n"
        "[00:04.00][00:07.00]\xf0\x9f\x9a\xa3 gently\n[00:05.00]down the stream\n";
    const QString tagged = dir.filePath(QStringLiteral("tagged.mp3"));
    const QString beside = dir.filePath(QStringLiteral("beside.mp3"));
    QCOMPARE(songPair(dir, lrc, 350).exitCode, 0);

    const Run fromTag = kivoLyrics({QStringLiteral("show"), QStringLiteral("--json"), tagged});
    const Run fromFile = kivoLyrics({QStringLiteral("show"), QStringLiteral("--json"), beside});
    QCOMPARE(fromTag.exitCode, 0);
    QCOMPARE(fromFile.exitCode, 0);
    QVERIFY(fromTag.err.startsWith(QLatin1String("lyrics from ID3v2 SYLT\n")));
    QVERIFY(fromFile.err.startsWith(QLatin1String("lyrics from beside.lrc\n")));
    QVERIFY(fromTag.out.count(QLatin1Char('\n')) >= 7);
    QCOMPARE(fromTag.out, fromFile.out);

    // The readable form shows the same events.
    const Run text = kivoLyrics({QStringLiteral("show"), tagged});
    QCOMPARE(text.exitCode, 0);
    QCOMPARE(text.out.count(QLatin1Char('\n')), fromTag.out.count(QLatin1Char('\n')));
    QVERIFY(text.out.contains(QLatin1String("highlight [0,16)")));

    // An untimed sidecar does not hide the stored lyrics, and the tool says it was passed over.
    QVERIFY(
        Mp3Fixtures::writeFile(dir.filePath(QStringLiteral("tagged.lrc")), "[ti:Only a title]"));
    const Run passedOver = kivoLyrics({QStringLiteral("show"), QStringLiteral("--json"), tagged});
    QCOMPARE(passedOver.exitCode, 0);
    QCOMPARE(passedOver.out, fromTag.out);
    QVERIFY(passedOver.err.startsWith(QLatin1String("tagged.lrc has no timed lyrics and is "
                                                    "passed over\nlyrics from ID3v2 SYLT\n")));
}

QTEST_GUILESS_MAIN(TestKivoLyrics)
#include "tst_kivolyrics.moc"
