#include "deliveryreport.h"
#include "jsonline.h"

#include "lrcparser.h"
#include "pagebuilder.h"
#include "songlyrics.h"

#include <QFile>
#include <QProcess>
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

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

// MPEG-1 layer III frames, 44 100 Hz, 128 kbps, silent: a song as far as tags are concerned.
QByteArray silentSong(int frames)
{
    QByteArray frame(417, '\0');
    frame[0] = char(0xff);
    frame[1] = char(0xfb);
    frame[2] = char(0x90);
    return frame.repeated(frames);
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
    QVERIFY(writeFile(dir.filePath(QStringLiteral("song.mp3")), silentSong(40)));
    QVERIFY(writeFile(dir.filePath(QStringLiteral("good.lrc")), "[00:01]a\n"));
    QVERIFY(writeFile(dir.filePath(QStringLiteral("untimed.lrc")), "[ar:Someone]\nno stamps\n"));
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
    QVERIFY(writeFile(tagged, silentSong(300)));
    QVERIFY(writeFile(beside, silentSong(300)));
    QVERIFY(writeFile(dir.filePath(QStringLiteral("beside.lrc")), lrc));
    QVERIFY(writeFile(dir.filePath(QStringLiteral("words.lrc")), lrc));

    const Run run = kivoLyrics({QStringLiteral("embed"), tagged, dir.filePath("words.lrc")});
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.out.contains(QLatin1String("5 lyric lines with 4 timed words")),
             qPrintable(run.out));
    QVERIFY(run.err.isEmpty());

    const SongLyrics fromTag = SongLyrics::forSong(tagged);
    QCOMPARE(fromTag.source(), QStringLiteral("ID3v2 SYLT"));
    QCOMPARE(fromTag.timeline(), SongLyrics::forSong(beside).timeline());
    QCOMPARE(fromTag.timeline(), PageBuilder::build(LrcParser::parse(lrc)));

    // Embedding again replaces the lyrics rather than adding a second set.
    QVERIFY(writeFile(dir.filePath(QStringLiteral("words.lrc")), "[00:01]replaced"));
    QCOMPARE(kivoLyrics({QStringLiteral("embed"), tagged, dir.filePath("words.lrc")}).exitCode, 0);
    QCOMPARE(SongLyrics::forSong(tagged).timeline().first().page, QStringLiteral("replaced"));

    // A sidecar would hide what was stored: the tool says so.
    const Run hidden = kivoLyrics({QStringLiteral("embed"), beside, dir.filePath("words.lrc")});
    QCOMPARE(hidden.exitCode, 0);
    QVERIFY(hidden.err.contains(QLatin1String("beside.lrc")));
}

QTEST_GUILESS_MAIN(TestKivoLyrics)
#include "tst_kivolyrics.moc"
