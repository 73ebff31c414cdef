// kivo-lyrics run as a user would: lyrics embedded into one song and shown from its tag, the same
// lyrics shown from a file beside another, and every way it refuses.
#include "mp3fixtures.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Run
{
    int exitCode = -1; // also when it crashed or hung
    QString out, err;
};

Run kivoLyrics(const QStringList &args)
{
    QProcess tool;
    tool.start(QStringLiteral(KIVO_LYRICS_TOOL), args);
    const bool ended = tool.waitForFinished(60000) && tool.exitStatus() == QProcess::NormalExit;
    return {ended ? tool.exitCode() : -1, tool.readAllStandardOutput(),
            tool.readAllStandardError()};
}

} // namespace

class TestKivoLyrics : public QObject
{
    Q_OBJECT

private slots:
    void embedThenShow();
    void failures_data();
    void failures();

private:
    QTemporaryDir dir;
};

void TestKivoLyrics::embedThenShow()
{
    // Two copies of a silent song: the tool embeds the lyrics into one, the other has them in an
    // LRC file beside it. Both show the same events on the same frames, the first page at once
    // although its text takes 18 frames to travel.
    const QByteArray lrc =
        "\xef\xbb\xbf[ar:Someone]\r\n[offset:+100]\r\n"
        "[00:00.80]<00:00.80>Row, <00:01.20>row, <00:01.60>row<00:02.00>\r\n"
        "[00:00.80]\xe5\x88\x92\xe8\x88\xb9\r\n[00:02.50]your \"boat\" \\\r\n[00:03.50]\r\n"
        "[00:04.00][00:07.00]<00:04.00>\xf0\x9f\x9a\xa3 <00:04.50>gently\r\n"
        "[00:05.00] <00:05.20>down <00:05.60>the stream\r\n[00:06.00]merrily\r\n";
    const QString tagged = dir.filePath("tagged.mp3"), beside = dir.filePath("beside.mp3");
    for (const QString name : {"tagged.mp3", "beside.mp3", "lyrics.lrc", "beside.lrc"})
        QVERIFY(Mp3Fixtures::writeFile(
            dir.filePath(name), name.endsWith(".lrc") ? lrc : Mp3Fixtures::emptyFrames(350)));
    const Run embed = kivoLyrics({"embed", tagged, dir.filePath("lyrics.lrc")});
    QCOMPARE(embed.exitCode, 0);
    QVERIFY2(embed.out.contains("7 lyric lines with 9 timed words"), qPrintable(embed.out));
    // an ID3v2.4 tag whose SYLT text is UTF-8 (encoding byte 3)
    QFile file(tagged);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QVERIFY(bytes.startsWith("ID3\x04") && bytes.contains("\xe5\x88\x92\xe8\x88\xb9"));
    QCOMPARE(bytes.at(bytes.indexOf("SYLT") + 10), '\x03');

    const QString shown =
        QString::fromUtf8(R"({"frame":1,"ms":0,"page":"Row, row, row\n划船\nyour \"boat\" \\"}
{"frame":27,"ms":679,"highlight":[0,16]}
{"frame":92,"ms":2377,"highlight":[0,30]}
{"frame":131,"ms":3395,"page":"🚣 gently\ndown the stream\nmerrily\n🚣 gently"}
{"frame":150,"ms":3892,"highlight":[0,2]}
{"frame":169,"ms":4388,"highlight":[0,9]}
{"frame":196,"ms":5093,"highlight":[0,14]}
{"frame":211,"ms":5485,"highlight":[0,25]}
{"frame":226,"ms":5877,"highlight":[0,33]}
{"frame":265,"ms":6896,"highlight":[0,36]}
{"frame":284,"ms":7392,"highlight":[0,43]}
)");
    const Run fromTag = kivoLyrics({"show", "--json", tagged});
    const Run fromFile = kivoLyrics({"show", "--json", beside});
    QVERIFY(fromTag.exitCode == 0 && fromFile.exitCode == 0);
    QCOMPARE(fromTag.out, shown);
    QCOMPARE(fromFile.out, shown);
    QCOMPARE(fromTag.err, "lyrics from ID3v2 SYLT\n11 events: 11 on their frame, 0 late\n");
    QCOMPARE(fromFile.err, "lyrics from beside.lrc\n11 events: 11 on their frame, 0 late\n");
}

void TestKivoLyrics::failures_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    const QList<QPair<QString, QByteArray>> files{
        {"notes.mp3", QByteArray("[00:01]words, not sound\n").repeated(50)},
        {"notes.lrc", "[00:01]a"},
        {"plain.mp3", Mp3Fixtures::emptyFrames(50)},
        {"bare.mp3", Mp3Fixtures::emptyFrames(50)},
        {"bare.LRC", "[ti:Song]\nWords, no times\n"}};
    for (const auto &[name, bytes] : files)
        QVERIFY(Mp3Fixtures::writeFile(dir.filePath(name), bytes));
    QTest::addRow("no arguments") << QStringList{} << 2 << "usage:";
    QTest::addRow("embed: missing song")
        << QStringList{"embed", "absent.mp3", "notes.lrc"} << 1 << "absent.mp3: no such file";
    QTest::addRow("embed: not MPEG audio")
        << QStringList{"embed", "notes.mp3", "notes.lrc"} << 1 << "not MPEG audio";
    QTest::addRow("embed: no timed lyrics")
        << QStringList{"embed", "plain.mp3", "bare.LRC"} << 1 << "no timed lyrics";
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
        arg = arg.contains('.') ? dir.filePath(arg) : arg;
    const Run run = kivoLyrics(args);
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(run.err.contains(message) && run.out.isEmpty(), qPrintable(run.err));
}

QTEST_GUILESS_MAIN(TestKivoLyrics)
#include "tst_kivolyrics.moc"
