#include "lrcparser.h"
#include "lyricsencoding.h"
#include "pagebuilder.h"
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

// "P0:one/two" for a page shown at ms 0 (lines joined by '/'), "H1000:0-3" for a wipe.
static QString describe(const DisplayTimeline &timeline)
{
    QStringList out;
    for (const DisplayEvent &e : timeline) {
        if (e.kind == DisplayEvent::Kind::Page)
            out << QStringLiteral("P%1:%2").arg(e.ms).arg(
                QString(e.page).replace(QLatin1Char('\n'), QLatin1Char('/')));
        else
            out << QStringLiteral("H%1:%2-%3").arg(e.ms).arg(e.highlightStart).arg(e.highlightEnd);
    }
    return out.join(QLatin1String(" | "));
}

// LRC files: parsed into timed lines, laid out into pages and wipes.
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
    void pages_data();
    void pages();
    void anyBytesGiveSaneLinesAndPages();
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

void TestLrcParser::pages_data()
{
    QTest::addColumn<QString>("lrc");
    QTest::addColumn<QString>("expected");

    QTest::addRow("one line") << "[00:05]Hello"
                              << "P0:Hello | H5000:0-5";
    QTest::addRow("four lines a page, next at its first line")
        << "[00:01]one\n[00:02]two\n[00:03]three\n[00:04]four\n[00:05]five\n[00:06]six"
        << "P0:one/two/three/four | H1000:0-3 | H2000:0-7 | H3000:0-13 | H4000:0-18 | "
           "P5000:five/six | H5000:0-4 | H6000:0-8";
    QTest::addRow("break ends a page early and shows the next")
        << "[00:01]a\n[00:02]b\n[00:03]\n[00:10]c"
        << "P0:a/b | H1000:0-1 | H2000:0-3 | P3000:c | H10000:0-1";
    QTest::addRow("leading, repeated and trailing breaks")
        << "[00:00]\n[00:01]a\n[00:02]\n[00:03]\n[00:04]b\n[00:05]"
        << "P0:a | H1000:0-1 | P2000:b | H4000:0-1";
    QTest::addRow("closing word stamp ends a page")
        << "[00:01]<00:01>a<00:01.5>\n[00:02]<00:02>b<00:02.5>\n[00:03]<00:03>c<00:03.5>\n"
           "[00:04]<00:04>d <00:04.5>e<00:05>\n[00:09]f"
        << "P0:a/b/c/d e | H1000:0-1 | H2000:0-3 | H3000:0-5 | H4000:0-7 | H4500:0-9 | "
           "P5000:f | H9000:0-1";
    QTest::addRow("closing stamp and break: the earlier")
        << "[00:01]<00:01>a<00:03>\n[00:02]\n[00:09]b"
        << "P0:a | H1000:0-1 | P2000:b | H9000:0-1";
    QTest::addRow("word wipes") << "[00:01]<00:01>Hel<00:01.5>lo <00:02>you<00:02.5>"
                                << "P0:Hello you | H1000:0-3 | H1500:0-5 | H2000:0-9";
    QTest::addRow("original and translation wiped together")
        << "[00:01]Hello\n[00:01]Hallo\n[00:03]World\n[00:03]Welt"
        << "P0:Hello/Hallo/World/Welt | H1000:0-11 | H3000:0-22";
    QTest::addRow("a shared time is not split across pages")
        << "[00:01]a\n[00:02]b\n[00:03]c\n[00:04]d\n[00:04]D"
        << "P0:a/b/c | H1000:0-1 | H2000:0-3 | H3000:0-5 | P4000:d/D | H4000:0-3";
    QTest::addRow("more lines at one time than a page holds")
        << "[00:01]a\n[00:01]b\n[00:01]c\n[00:01]d\n[00:01]e"
        << "P0:a/b/c/d | P1000:e | H1000:0-1";
    QTest::addRow("words sung after the page changed are dropped")
        << "[00:01]a\n[00:02]b\n[00:03]c\n[00:04]<00:04>x <00:06>y\n[00:05]e"
        << "P0:a/b/c/x y | H1000:0-1 | H2000:0-3 | H3000:0-5 | H4000:0-7 | P5000:e | H5000:0-1";
    QTest::addRow("wipe never shrinks") << "[00:01]<00:01>ab <00:02>cd\n[00:01]xy"
                                        << "P0:ab cd/xy | H1000:0-8";
    QTest::addRow("UTF-16 positions with non-BMP text")
        << QStringLiteral("[00:01]\U0001D11E one\n[00:02]<00:02>\U0001F600<00:03>\U0001F600 two")
        << QStringLiteral("P0:\U0001D11E one/\U0001F600\U0001F600 two | H1000:0-6 | H2000:0-9 | "
                          "H3000:0-15");
    QTest::addRow("offset moves pages and wipes") << "[offset:500]\n[00:01]a\n[00:02]\n[00:03]b"
                                                  << "P0:a | H500:0-1 | P1500:b | H2500:0-1";
    QTest::addRow("only breaks") << "[00:01]\n[00:02]"
                                 << "";
}

void TestLrcParser::pages()
{
    QFETCH(QString, lrc);
    QFETCH(QString, expected);
    QCOMPARE(describe(PageBuilder::build(LrcParser::parse(lrc))), expected);
}

void TestLrcParser::anyBytesGiveSaneLinesAndPages()
{
    // Random lyrics (repeats, shared times, breaks, word stamps in any order) and random bytes
    // sprinkled with the characters the parser looks for. Whatever comes in, the display must
    // get a first page at the start, events in time order, and wipes that grow inside the page
    // they belong to.
    QRandomGenerator random(20261206);
    const QStringList words{"la", QStringLiteral("\U0001F3B6"), "??", " ", QString()};
    const char alphabet[] = "[]<>:.,0123456789\n\r offset:+-\xef\xbb\xbf\xff\xfe\x80\xe4";
    for (int round = 0; round < 400; ++round) {
        QString lrc;
        for (int l = round % 2 ? 0 : int(random.bounded(30)); l > 0; --l) {
            for (int s = 1 + int(random.bounded(3)); s > 0; --s)
                lrc +=
                    QStringLiteral("[00:%1.%2]").arg(random.bounded(60)).arg(random.bounded(100));
            for (int p = int(random.bounded(5)); p > 0; --p) {
                if (random.bounded(2))
                    lrc += QStringLiteral("<00:%1.00>").arg(random.bounded(60));
                lrc += words[random.bounded(words.size())];
            }
            lrc += QLatin1Char('\n');
        }
        QByteArray bytes = lrc.toUtf8();
        for (int n = int(random.bounded(round % 2 ? 2000 : 20)); n > 0; --n)
            bytes.insert(int(random.bounded(bytes.size() + 1)),
                         random.bounded(4) == 0
                             ? char(random.bounded(256))
                             : alphabet[random.bounded(int(sizeof alphabet) - 1)]);
        const LyricSheet sheet = LrcParser::parse(bytes);
        checkSane(sheet);
        const DisplayTimeline timeline = PageBuilder::build(sheet);
        qint64 previous = 0;
        int pageLength = -1;
        int wiped = 0;
        for (const DisplayEvent &e : timeline) {
            QVERIFY(e.ms >= previous);
            previous = e.ms;
            if (e.kind == DisplayEvent::Kind::Page) {
                QVERIFY(!e.page.isEmpty());
                QVERIFY(e.page.count(QLatin1Char('\n')) < PageBuilder::linesPerPage);
                pageLength = int(e.page.size());
                wiped = 0;
            } else {
                QVERIFY(pageLength >= 0);
                QCOMPARE(e.highlightStart, 0);
                QVERIFY(e.highlightEnd > wiped && e.highlightEnd <= pageLength);
                wiped = e.highlightEnd;
            }
        }
        QVERIFY(timeline.isEmpty() || timeline.first().kind == DisplayEvent::Kind::Page);
        QVERIFY(timeline.isEmpty() || timeline.first().ms == 0);
        if (QTest::currentTestFailed())
            qDebug() << "failing input" << bytes.toHex();
    }
}

QTEST_GUILESS_MAIN(TestLrcParser)
#include "tst_lrcparser.moc"
