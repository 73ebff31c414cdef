#include "contenttimeline.h"
#include "deliveryreport.h"
#include "jsonline.h"
#include "mp3fixtures.h"
#include "songlyrics.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace ContentTimeline;
using Delivered = QVector<DeliveryReport::Delivered>;

namespace {

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
    void initTestCase();
    void jsonLines_data();
    void jsonLines();
    void frameTimesAgreeWithTheStream();
    void deliveryReport();
    void failures_data();
    void failures();
    void embeddedShowsWhatTheSidecarShows();

private:
    QTemporaryDir dir;
};

void TestKivoLyrics::initTestCase()
{
    QVERIFY(dir.isValid());
    const QList<QPair<const char *, QByteArray>> files{
        {"notes.mp3", QByteArray("[00:01]words, not sound\n").repeated(50)},
        {"notes.lrc", "[00:01]a"},
        {"plain.mp3", Mp3Fixtures::emptyFrames(50)},
        {"bare.mp3", Mp3Fixtures::emptyFrames(50)},
        {"bare.LRC", "[ti:Song]\nWords without times\n"}};
    for (const auto &[name, bytes] : files)
        QVERIFY(Mp3Fixtures::writeFile(dir.filePath(QLatin1String(name)), bytes));
}

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
    QTest::addRow("highlight") << JsonLine::highlight(11486, 300022, 0, 17)
                               << QByteArray(R"({"frame":11486,"ms":300022,"highlight":[0,17]})");
}

void TestKivoLyrics::jsonLines()
{
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, expected);
    QCOMPARE(line, expected);
}

void TestKivoLyrics::frameTimesAgreeWithTheStream()
{
    // The report's due frames are the stream's; a frame's printed time is its start truncated
    // to the millisecond, so the next millisecond is inside it.
    for (qint64 ms = 0; ms <= 330000; ++ms) {
        const int frame = FrameTiming::frameForMs(ms);
        QCOMPARE(frame, FrameTiming::frameForMs(ms));
        QVERIFY(FrameTiming::msForFrame(frame) <= ms);
        QCOMPARE(FrameTiming::frameForMs(FrameTiming::msForFrame(frame) + 1), frame);
    }
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

void TestKivoLyrics::failures_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    QTest::addRow("no arguments") << QStringList{} << 2 << "usage:";
    QTest::addRow("unknown command") << QStringList{"play", "x.mp3"} << 2 << "usage:";
    QTest::addRow("embed: missing song")
        << QStringList{"embed", "absent.mp3", "notes.lrc"} << 1 << "absent.mp3: no such file";
    QTest::addRow("embed: missing lyrics")
        << QStringList{"embed", "plain.mp3", "absent.lrc"} << 1 << "absent.lrc: no such file";
    QTest::addRow("embed: not MPEG audio")
        << QStringList{"embed", "notes.mp3", "notes.lrc"} << 1 << "not MPEG audio";
    QTest::addRow("embed: no timed lyrics")
        << QStringList{"embed", "plain.mp3", "bare.LRC"} << 1 << "no timed lyrics";
    QTest::addRow("show: missing song")
        << QStringList{"show", "--json", "absent.mp3"} << 1 << "absent.mp3: no such file";
    QTest::addRow("show: not MPEG audio")
        << QStringList{"show", "notes.mp3"} << 1 << "not MPEG audio";
    QTest::addRow("show: no lyrics") << QStringList{"show", "plain.mp3"} << 1 << "no lyrics found";
    QTest::addRow("show: untimed lyrics beside it")
        << QStringList{"show", "bare.mp3"} << 1 << "bare.LRC: no timed lyrics in it";
}

void TestKivoLyrics::failures()
{
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    for (QString &arg : args)
        arg = arg.contains(QLatin1Char('.')) ? dir.filePath(arg) : arg;
    const Run run = kivoLyrics(args);
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
    QVERIFY(run.out.isEmpty());
}

void TestKivoLyrics::embeddedShowsWhatTheSidecarShows()
{
    // Two copies of a silent song: the tool embeds the lyrics into one, the other has them in
    // an LRC file beside it. The first page is due at once and cannot arrive on frame 1.
    const QByteArray lrc =
        "\xef\xbb\xbf[ar:Someone]\r\n[offset:+100]\r\n"
        "[00:00.80]<00:00.80>Row, <00:01.20>row, <00:01.60>row<00:02.00>\r\n"
        "[00:00.80]\xe5\x88\x92\xe8\x88\xb9\r\n[00:02.50]your \"boat\" \\\r\n[00:03.50]\r\n"
        "[00:04.00][00:07.00]<00:04.00>\xf0\x9f\x9a\xa3 <00:04.50>gently\r\n"
        "[00:05.00] <00:05.20>down <00:05.60>the stream\r\n[00:06.00]merrily\r\n";
    const QString tagged = dir.filePath(QStringLiteral("tagged.mp3"));
    const QString beside = dir.filePath(QStringLiteral("beside.mp3"));
    const QString lyrics = dir.filePath(QStringLiteral("lyrics.lrc"));
    QVERIFY(Mp3Fixtures::writeFile(tagged, Mp3Fixtures::emptyFrames(350)));
    QVERIFY(Mp3Fixtures::writeFile(beside, Mp3Fixtures::emptyFrames(350)));
    QVERIFY(Mp3Fixtures::writeFile(lyrics, lrc));
    QVERIFY(Mp3Fixtures::writeFile(dir.filePath(QStringLiteral("beside.lrc")), lrc));

    const Run embed = kivoLyrics({QStringLiteral("embed"), tagged, lyrics});
    QCOMPARE(embed.exitCode, 0);
    QVERIFY2(embed.out.contains(QLatin1String("7 lyric lines with 9 timed words")),
             qPrintable(embed.out));
    QVERIFY(embed.err.isEmpty());
    const SongLyrics stored = SongLyrics::forSong(tagged);
    QCOMPARE(stored.source(), QStringLiteral("ID3v2 SYLT"));
    QCOMPARE(stored.timeline(), SongLyrics::forSong(beside).timeline());

    // an ID3v2.4 tag whose SYLT text is UTF-8 (encoding byte 3)
    QFile file(tagged);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QVERIFY(bytes.startsWith("ID3\x04"));
    const qsizetype sylt = bytes.indexOf("SYLT");
    QVERIFY(sylt > 0);
    QCOMPARE(bytes.at(sylt + 10), '\x03');
    QVERIFY(bytes.contains("\xe5\x88\x92\xe8\x88\xb9"));

    const Run fromTag = kivoLyrics({QStringLiteral("show"), QStringLiteral("--json"), tagged});
    const Run fromFile = kivoLyrics({QStringLiteral("show"), QStringLiteral("--json"), beside});
    QCOMPARE(fromTag.exitCode, 0);
    QCOMPARE(fromFile.exitCode, 0);
    QVERIFY(fromTag.err.startsWith(QLatin1String("lyrics from ID3v2 SYLT\n")));
    QVERIFY(fromFile.err.startsWith(QLatin1String("lyrics from beside.lrc\n")));
    QCOMPARE(fromTag.out, fromFile.out);

    // One JSON object a line; the events are the lyrics' own, in order, all on their frames
    // but the first page; the report on stderr agrees.
    static const QRegularExpression shape(QStringLiteral(
        R"(^\{"frame":(\d+),"ms":(\d+),("page":"(?:[^"\\]|\\.)*"|"highlight":\[\d+,\d+\])\}$)"));
    Delivered delivered;
    for (const QString &line : fromFile.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QRegularExpressionMatch m = shape.match(line);
        QVERIFY2(m.hasMatch(), qPrintable(line));
        const int frame = m.captured(1).toInt();
        QVERIFY(frame >= (delivered.isEmpty() ? 1 : delivered.last().frame) && frame <= 350);
        QCOMPARE(m.captured(2).toLongLong(), (frame - 1) * 2612245LL / 100000);
        const QJsonObject o = QJsonDocument::fromJson(line.toUtf8()).object();
        delivered.append(
            {frame, o.contains(QLatin1String("page"))
                        ? page(0, o.value(QLatin1String("page")).toString())
                        : wipe(0, o.value(QLatin1String("highlight")).toArray().at(1).toInt())});
    }
    const DisplayTimeline expected = SongLyrics::forSong(beside).timeline();
    QCOMPARE(delivered.size(), expected.size());
    const DeliveryReport report(expected, delivered);
    QVERIFY(!report.diverged);
    QCOMPARE(report.late, 1);
    QCOMPARE(report.onTime, expected.size() - 1);
    QVERIFY(fromFile.err.contains(QStringLiteral("late by %1 frames: page \"Row, row, row")
                                      .arg(delivered.first().frame - 1)));
    QVERIFY(fromFile.err.contains(report.summary()));

    // The readable form shows the same events.
    const Run text = kivoLyrics({QStringLiteral("show"), tagged});
    QCOMPARE(text.exitCode, 0);
    QCOMPARE(text.out.count(QLatin1Char('\n')), fromTag.out.count(QLatin1Char('\n')));
    QVERIFY(text.out.contains(QLatin1String("highlight [0,16)")));

    // An untimed sidecar does not hide the stored lyrics, and the tool says it was passed over.
    QVERIFY(Mp3Fixtures::writeFile(dir.filePath(QStringLiteral("tagged.lrc")), "[ti:A title]"));
    const Run passedOver = kivoLyrics({QStringLiteral("show"), QStringLiteral("--json"), tagged});
    QCOMPARE(passedOver.exitCode, 0);
    QCOMPARE(passedOver.out, fromTag.out);
    QVERIFY(passedOver.err.startsWith(QLatin1String("tagged.lrc has no timed lyrics and is "
                                                    "passed over\nlyrics from ID3v2 SYLT\n")));

    // A sidecar would hide what is stored: the tool says so.
    const Run hidden = kivoLyrics({QStringLiteral("embed"), beside, lyrics});
    QCOMPARE(hidden.exitCode, 0);
    QVERIFY(hidden.err.contains(QLatin1String("beside.lrc")));
}

QTEST_GUILESS_MAIN(TestKivoLyrics)
#include "tst_kivolyrics.moc"
