#include "lrcparser.h"
#include "pagebuilder.h"

#include <QRandomGenerator>
#include <QTest>

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

class TestPageBuilder : public QObject
{
    Q_OBJECT

private slots:
    void pages_data();
    void pages();
    void anyLyricsGiveAPlayableTimeline();
};

void TestPageBuilder::pages_data()
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

void TestPageBuilder::pages()
{
    QFETCH(QString, lrc);
    QFETCH(QString, expected);
    QCOMPARE(describe(PageBuilder::build(LrcParser::parse(lrc))), expected);
}

void TestPageBuilder::anyLyricsGiveAPlayableTimeline()
{
    // Random lyrics: repeats, shared times, breaks, word stamps in any order. Whatever comes
    // in, the display must get a first page at the start, events in time order, and wipes
    // that grow inside the page they belong to.
    QRandomGenerator random(4242);
    const QStringList words{QStringLiteral("la"), QStringLiteral("\U0001F3B6"),
                            QStringLiteral("??"), QStringLiteral(" "), QString()};
    for (int round = 0; round < 200; ++round) {
        QString lrc;
        const int lines = int(random.bounded(30));
        for (int l = 0; l < lines; ++l) {
            const int stamps = 1 + int(random.bounded(3));
            for (int s = 0; s < stamps; ++s)
                lrc +=
                    QStringLiteral("[00:%1.%2]").arg(random.bounded(60)).arg(random.bounded(100));
            const int pieces = int(random.bounded(5));
            for (int p = 0; p < pieces; ++p) {
                if (random.bounded(2))
                    lrc += QStringLiteral("<00:%1.00>").arg(random.bounded(60));
                lrc += words[random.bounded(words.size())];
            }
            lrc += QLatin1Char('\n');
        }
        const DisplayTimeline timeline = PageBuilder::build(LrcParser::parse(lrc));
        qint64 previous = 0;
        int pageLength = -1;
        int wiped = 0;
        for (const DisplayEvent &e : timeline) {
            QVERIFY2(e.ms >= previous, qPrintable(lrc));
            previous = e.ms;
            if (e.kind == DisplayEvent::Kind::Page) {
                QVERIFY(!e.page.isEmpty());
                QVERIFY(e.page.count(QLatin1Char('\n')) < PageBuilder::linesPerPage);
                pageLength = int(e.page.size());
                wiped = 0;
            } else {
                QVERIFY2(pageLength >= 0, qPrintable(lrc));
                QCOMPARE(e.highlightStart, 0);
                QVERIFY2(e.highlightEnd > wiped && e.highlightEnd <= pageLength, qPrintable(lrc));
                wiped = e.highlightEnd;
            }
        }
        if (!timeline.isEmpty()) {
            QCOMPARE(timeline.first().kind, DisplayEvent::Kind::Page);
            QCOMPARE(timeline.first().ms, 0);
        }
    }
}

QTEST_GUILESS_MAIN(TestPageBuilder)
#include "tst_pagebuilder.moc"
