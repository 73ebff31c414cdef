// kivo-library run as a user would, one command after another on one library under
// XDG_DATA_HOME: folders added and refused, scans, searches in both formats, stats, removal.
#include "mp3fixtures.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

class TestKivoLibrary : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void commands_data();
    void commands();

private:
    QTemporaryDir dir;
    QString music;
};

void TestKivoLibrary::initTestCase()
{
    music = dir.filePath("music");
    QVERIFY(QDir().mkpath(music + "/Queen"));
    QVERIFY(Mp3Fixtures::writeFile(music + "/Queen/Queen - Bohemian Rhapsody.mp3",
                                   Mp3Fixtures::emptyFrames(60)));
    QVERIFY(Mp3Fixtures::writeFile(music + "/Café del Mar.mp3", Mp3Fixtures::emptyFrames(20)));
    qputenv("XDG_DATA_HOME", QFile::encodeName(dir.filePath("data")));
}

void TestKivoLibrary::commands_data()
{
    QTest::addColumn<QStringList>("args"); // MUSIC stands for the music folder
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out"); // the whole of stdout, or its start when it ends in "..."
    const QString song = "MUSIC/Queen/Queen - Bohemian Rhapsody.mp3";
    QTest::addRow("add") << QStringList{"add", "MUSIC"} << 0 << "";
    QTest::addRow("add again") << QStringList{"add", "MUSIC/"} << 1 << "";
    QTest::addRow("add no folder") << QStringList{"add", "MUSIC/none"} << 1 << "";
    QTest::addRow("scan") << QStringList{"scan"} << 0
                          << "2 songs: 2 added, 0 updated, 0 removed, 0 unchanged, 0 measured\n";
    QTest::addRow("rescan") << QStringList{"scan"} << 0
                            << "2 songs: 0 added, 0 updated, 0 removed, 2 unchanged, 0 measured\n";
    QTest::addRow("search") << QStringList{"search", "rhapsody", "QUE"} << 0
                            << song + "\tBohemian Rhapsody\tQueen\t2\n";
    QTest::addRow("search accents") << QStringList{"search", "cafe"} << 0
                                    << "MUSIC/Café del Mar.mp3\tCafé del Mar\t\t1\n";
    QTest::addRow("search json") << QStringList{"search", "--json", "bohemian"} << 0
                                 << "{\"album\":\"\",\"artist\":\"Queen\",\"graphics\":false,"
                                    "\"id\":1,\"lyrics\":false,\"path\":\"" + song +
                                        "\",\"seconds\":2,\"title\":\"Bohemian Rhapsody\"}\n";
    QTest::addRow("search nothing") << QStringList{"search", "zzz"} << 0 << "";
    QTest::addRow("stats") << QStringList{"stats"} << 0
                           << "folders\t1\nsongs\t2\nwith lyrics\t0\nwith CD+G\t0\n"
                              "with loudness\t0\nhours\t0.0\nfolder\tMUSIC\n";
    QTest::addRow("loudness") << QStringList{"scan", "--loudness"} << 0 << "2 songs: 0 added, 0 updated, 0 removed, 2 unchanged, 0 measured\n";
    QTest::addRow("remove") << QStringList{"remove", "MUSIC"} << 0 << "";
    QTest::addRow("removed songs gone") << QStringList{"search", "rhapsody"} << 0 << "";
    QTest::addRow("remove again") << QStringList{"remove", "MUSIC"} << 1 << "";
    QTest::addRow("no command") << QStringList{} << 2 << "";
    QTest::addRow("unknown command") << QStringList{"play", "x"} << 2 << "";
    QTest::addRow("search no words") << QStringList{"search"} << 2 << "";
}

void TestKivoLibrary::commands()
{
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    args.replaceInStrings("MUSIC", music);
    QProcess tool;
    tool.start(KIVO_LIBRARY_TOOL, args);
    QVERIFY(tool.waitForFinished(60000) && tool.exitStatus() == QProcess::NormalExit);
    QCOMPARE(tool.exitCode(), exitCode);
    // Ids depend on the order files are listed in.
    const QString printed = QString::fromUtf8(tool.readAllStandardOutput())
                                .replace(QRegularExpression("\"id\":[0-9]+,"), "\"id\":1,");
    QCOMPARE(printed, out.replace("MUSIC", music));
    QVERIFY(QFile::exists(dir.filePath("data/VantrelKivo/library.sqlite")));
}

QTEST_GUILESS_MAIN(TestKivoLibrary)
#include "tst_kivolibrary.moc"
