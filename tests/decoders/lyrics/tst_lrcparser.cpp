#include "lrcparser.h"
#include "lyricsencoding.h"
#include "sheettext.h"

#include <QRandomGenerator>
#include <QStringEncoder>
#include <QTest>

// What every sheet must satisfy, however broken its file was.
static void checkSane(const LyricSheet &sheet)
{
    qint64 previous = 0;
    qsizetype text = 0;
    for (const LyricLine &line : sheet) {
        QVERIFY(line.ms >= previous);
        previous = line.ms;
        text += line.text.size();
        QVERIFY(!line.text.contains(QLatin1Char('\n')));
        QVERIFY(!line.text.contains(QLatin1Char('\r')));
        qint64 wordMs = line.ms;
        int wordEnd = 0;
        for (const LyricWord &w : line.words) {
            QVERIFY(w.ms >= wordMs);
            QVERIFY(w.start >= wordEnd && w.start < w.end && w.end <= line.text.size());
            wordMs = w.ms;
            wordEnd = w.end;
        }
        QVERIFY(line.endMs == -1 || line.endMs >= wordMs);
    }
    QVERIFY(text <= LrcParser::maxSheetText);
}

class TestLrcParser : public QObject
{
    Q_OBJECT

private slots:
    void stamp_data();
    void stamp();
    void parse_data();
    void parse();
    void encodings_data();
    void encodings();
    void hostile_data();
    void hostile();
    void randomBytes();
};

void TestLrcParser::stamp_data()
{
    QTest::addColumn<QString>("stamp");
    QTest::addColumn<qint64>("ms");
    QTest::addRow("mm:ss") << "01:02" << qint64(62000);
    QTest::addRow("mm:ss.x") << "01:02.5" << qint64(62500);
    QTest::addRow("mm:ss.xx") << "01:02.05" << qint64(62050);
    QTest::addRow("mm:ss.xxx") << "01:02.005" << qint64(62005);
    QTest::addRow("mm:ss:xx hundredths") << "01:02:50" << qint64(62500);
    QTest::addRow("h:mm:ss.xx") << "1:01:02.50" << qint64(3662500);
    QTest::addRow("decimal comma") << "00:02,25" << qint64(2250);
    QTest::addRow("long song minutes") << "125:00.00" << qint64(7500000);
    QTest::addRow("extra fraction digits dropped") << "00:01.23456" << qint64(1234);
    QTest::addRow("spaces inside") << " 00:01.00 " << qint64(1000);
    QTest::addRow("seconds 60") << "00:60.00" << qint64(-1);
    QTest::addRow("negative") << "-00:01.00" << qint64(-1);
    QTest::addRow("empty fraction") << "00:01." << qint64(-1);
    QTest::addRow("two fractions") << "00:01.2.3" << qint64(-1);
    QTest::addRow("four fields") << "1:00:01:02" << qint64(-1);
    QTest::addRow("minutes 60 in h:mm:ss") << "1:60:00.00" << qint64(-1);
    QTest::addRow("overflowing minutes") << "99999999999999999999:00" << qint64(-1);
    QTest::addRow("empty") << "" << qint64(-1);
    QTest::addRow("letters") << "0a:1b" << qint64(-1);
}

void TestLrcParser::stamp()
{
    QFETCH(QString, stamp);
    QFETCH(qint64, ms);
    QCOMPARE(LrcParser::parseStamp(stamp), ms);
}

void TestLrcParser::parse_data()
{
    QTest::addColumn<QString>("lrc");
    QTest::addColumn<QString>("expected");

    QTest::addRow("repeated stamps") << "[00:10.00][00:05.00]Chorus\n[00:07.00]Verse"
                                     << "5000:Chorus | 7000:Verse | 10000:Chorus";
    QTest::addRow("same stamp twice on a line") << "[00:05][00:05]Once"
                                                << "5000:Once";
    QTest::addRow("shared time keeps file order")
        << "[00:05]Original\n[00:05]Translation\n[00:01]First"
        << "1000:First | 5000:Original | 5000:Translation";
    QTest::addRow("out of order sorted") << "[00:30]c\n[00:10]a\n[00:20]b"
                                         << "10000:a | 20000:b | 30000:c";
    QTest::addRow("positive offset shows earlier") << "[offset:+500]\n[00:10.00]a"
                                                   << "9500:a";
    QTest::addRow("negative offset shows later") << "[offset:-500]\n[00:10.00]a"
                                                 << "10500:a";
    QTest::addRow("offset after the lines") << "[00:10.00]a\n[offset:250]"
                                            << "9750:a";
    QTest::addRow("offset applied once") << "[offset:1000]\n[offset:1000]\n[00:10]a"
                                         << "9000:a";
    QTest::addRow("offset never before the start") << "[offset:2000]\n[00:01]a\n[00:05]b"
                                                   << "0:a | 3000:b";
    QTest::addRow("unreadable offset ignored") << "[offset:soon]\n[00:10]a"
                                               << "10000:a";
    QTest::addRow("offset tag in capitals") << "[OFFSET: -100 ]\n[00:10]a"
                                            << "10100:a";
    QTest::addRow("header tags ignored")
        << "[ar:Artist]\n[ti:Title]\n[al:Album]\n[by:Me]\n[length: 03:20]\n[re:Editor]\n"
           "[ve:1.0]\n[xyz:unknown tag]\n[00:01.00]a"
        << "1000:a";
    QTest::addRow("lines without stamps ignored")
        << "just a title\n[00:01]a\nplain text\n[Chorus]\n\n   \n[00:01 broken\n[00:02]b"
        << "1000:a | 2000:b";
    QTest::addRow("empty timed line is a break") << "[00:01]a\n[00:05]\n[00:07]   \n[00:09]b"
                                                 << "1000:a | 5000: | 7000: | 9000:b";
    QTest::addRow("CRLF, CR and stray BOMs")
        << QStringLiteral("\uFEFF[00:01]a\r\n\uFEFF[00:02]b\r[00:03]c\r\n")
        << "1000:a | 2000:b | 3000:c";
    QTest::addRow("bracketed text after the stamp") << "[00:12.00][Chorus] Sing"
                                                    << "12000:[Chorus] Sing";
    QTest::addRow("angle brackets that are no stamps") << "[00:01]I <3 you <i>so</i>"
                                                       << "1000:I <3 you <i>so</i>";
    QTest::addRow("spaces trimmed, tabs are spaces") << "  [00:01]  \ta\tb  "
                                                     << "1000:a b";
    QTest::addRow("control characters dropped")
        << QStringLiteral("[00:01]a\u0001b\u0007c\u0085") << "1000:abc";
    QTest::addRow("invalid stamp makes the line untimed") << "[00:61.00]a\n[00:02]b"
                                                          << "2000:b";
    QTest::addRow("word stamps with closing stamp")
        << "[00:01.00]<00:01.00>Hel<00:01.50>lo <00:02.00>world<00:02.80>"
        << "1000:Hello world{1000@0-3,1500@3-5,2000@6-11}~2800";
    QTest::addRow("word stamps, text before the first") << "[00:01.00]Hi <00:01.50>there"
                                                        << "1000:Hi there{1000@0-2,1500@3-8}";
    QTest::addRow("word stamps, line stamp before the first word")
        << "[00:01.00] <00:01.40>late <00:02.00>start"
        << "1000:late start{1400@0-4,2000@5-10}";
    QTest::addRow("word stamps on a repeated line")
        << "[00:01.00][00:11.00]<00:01.00>a <00:02.00>b<00:03.00>"
        << "1000:a b{1000@0-1,2000@2-3}~3000 | 11000:a b{11000@0-1,12000@2-3}~13000";
    QTest::addRow("word stamps follow the offset")
        << "[offset:500]\n[00:01.00]<00:01.00>a <00:02.00>b<00:03.00>"
        << "500:a b{500@0-1,1500@2-3}~2500";
    QTest::addRow("word stamps going backwards held") << "[00:05.00]<00:05.00>a <00:04.00>b"
                                                      << "5000:a b{5000@0-1,5000@2-3}";
    QTest::addRow("only word stamps is a break") << "[00:01]<00:01.00> <00:02.00>\n[00:03]b"
                                                 << "1000: | 3000:b";
    QTest::addRow("non-BMP text") << QStringLiteral("[00:01]<00:01>\U0001F3B5 <00:02>la")
                                  << QStringLiteral("1000:\U0001F3B5 la{1000@0-2,2000@3-5}");
    QTest::addRow("empty file") << ""
                                << "";
}

void TestLrcParser::parse()
{
    QFETCH(QString, lrc);
    QFETCH(QString, expected);
    const LyricSheet sheet = LrcParser::parse(lrc);
    QCOMPARE(sheetText(sheet), expected);
    checkSane(sheet);
}

void TestLrcParser::encodings_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected");

    const QString chinese = QStringLiteral("我们一起唱这首歌\n月亮代表我的心\n你问我爱你有多深\n"
                                           "我爱你有几分\n我的情也真\n我的爱也真");
    const QString traditional =
        QStringLiteral("我們一起唱這首歌\n月亮代表我的心\n你問我愛你有多深\n"
                       "我愛你有幾分\n我的情也真\n我的愛也真");
    const QString japanese =
        QStringLiteral("上を向いて歩こう\n涙がこぼれないように\n思い出す春の日\n"
                       "一人ぼっちの夜\n幸せは雲の上に\n幸せは空の上に");
    const QString western = QStringLiteral("Ça m’a plu, “déjà vu”\nÜber den Wolken – naïve Träume\n"
                                           "Señor, el año pasó\nCœur brisé… à bientôt");
    auto lrc = [](const QString &lines) {
        QString out = QStringLiteral("[ti:Song]\n");
        const QStringList list = lines.split(QLatin1Char('\n'));
        for (int i = 0; i < list.size(); ++i)
            out += QStringLiteral("[00:%1.00]%2\r\n").arg(10 + i).arg(list[i]);
        return out;
    };
    auto encoded = [](const char *name, const QString &text) {
        QStringEncoder encoder(name);
        Q_ASSERT(encoder.isValid());
        return QByteArray(encoder.encode(text));
    };
    QTest::addRow("UTF-8") << lrc(chinese).toUtf8() << chinese;
    QTest::addRow("UTF-8 with BOM")
        << QByteArray("\xef\xbb\xbf") + lrc(western).toUtf8() << western;
    QTest::addRow("UTF-16LE with BOM")
        << QByteArray("\xff\xfe") + encoded("UTF-16LE", lrc(japanese)) << japanese;
    QTest::addRow("UTF-16BE with BOM")
        << QByteArray("\xfe\xff") + encoded("UTF-16BE", lrc(chinese)) << chinese;
    QTest::addRow("UTF-32LE with BOM")
        << QByteArray("\xff\xfe\x00\x00", 4) + encoded("UTF-32LE", lrc(western)) << western;
    QTest::addRow("GBK") << encoded("GBK", lrc(chinese)) << chinese;
    QTest::addRow("Big5") << encoded("Big5", lrc(traditional)) << traditional;
    QTest::addRow("Shift-JIS") << encoded("Shift_JIS", lrc(japanese)) << japanese;
    QTest::addRow("Windows-1252") << encoded("windows-1252", lrc(western)) << western;
}

void TestLrcParser::encodings()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);
    const LyricSheet sheet = LrcParser::parse(bytes);
    QStringList texts;
    for (const LyricLine &line : sheet)
        texts << line.text;
    QCOMPARE(texts.join(QLatin1Char('\n')), expected);
    QCOMPARE(sheet.first().ms, 10000);
}

void TestLrcParser::hostile_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addRow("lone BOMs") << QByteArray("\xef\xbb\xbf\xff\xfe");
    QTest::addRow("odd UTF-16 length") << QByteArray("\xff\xfe[\x00"
                                                     "0",
                                                     5);
    QTest::addRow("NUL bytes") << QByteArray("[00:01]a\0b\0\0[00:02]\0", 21);
    QTest::addRow("unclosed brackets") << QByteArray("[[[[[[00:01]<<<<00:02>x<00:0");
    QTest::addRow("closing brackets only") << QByteArray("]]]]>>>>[]<>[:]<:>[.]<.>");
    QTest::addRow("huge numbers") << QByteArray("[99999999999999999999:99.999999999]x\n"
                                                "[offset:-99999999999999999999]\n"
                                                "[00:01]<9999:59.999>y");
    QTest::addRow("invalid UTF-8 and surrogates")
        << QByteArray("[00:01]\xed\xa0\x80\xc0\xaf\xff\xfe\xf8\x88\x80\x80\x80");
    QTest::addRow("only stamps") << QByteArray("[00:01][00:02][00:03]<00:04><00:05>");
    QTest::addRow("UTF-16 lone surrogates")
        << QByteArray::fromHex("fffe5b00300030003a00300031005d0000d800dc00d8");
    // a line stamped a hundred thousand times must not multiply its text without limit
    QByteArray stamps;
    for (int i = 0; i < 100000; ++i)
        stamps +=
            QStringLiteral("[%1:%2]").arg(i / 60).arg(i % 60, 2, 10, QLatin1Char('0')).toLatin1();
    QTest::addRow("100000 stamps on a line") << stamps + QByteArray(200, 'x');
}

void TestLrcParser::hostile()
{
    QFETCH(QByteArray, bytes);
    checkSane(LrcParser::parse(bytes));
}

void TestLrcParser::randomBytes()
{
    // Random bytes sprinkled with the characters the parser looks for.
    QRandomGenerator random(20261206);
    const char alphabet[] = "[]<>:.,0123456789\n\r offset:+-\xef\xbb\xbf\xff\xfe\x80\xe4";
    for (int round = 0; round < 300; ++round) {
        QByteArray bytes(int(random.bounded(2000)), Qt::Uninitialized);
        for (char &c : bytes)
            c = random.bounded(4) == 0 ? char(random.bounded(256))
                                       : alphabet[random.bounded(int(sizeof alphabet) - 1)];
        checkSane(LrcParser::parse(bytes));
        if (QTest::currentTestFailed())
            qDebug() << "failing input" << bytes.toHex();
    }
}

QTEST_GUILESS_MAIN(TestLrcParser)
#include "tst_lrcparser.moc"
