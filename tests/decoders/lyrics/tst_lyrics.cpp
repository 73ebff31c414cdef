// Lyrics as users hand them over: LRC files in any encoding, SYLT and USLT frames in a song's
// ID3v2 tag, which of them a song shows, the pages and wipes laid out from them, and whatever
// bytes they hold instead.
#include "id3lyrics.h"
#include "lrcparser.h"
#include "mp3fixtures.h"
#include "pagebuilder.h"
#include "songlyrics.h"

#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

namespace {

// Timed lines written so that a case reads like the lyrics: "1000:Hello world{1000@0-5,
// 1500@6-11}~2000 | 3000:" (time, text, words with their time and UTF-16 range, end of the last
// word; an empty text is a break).
QString sheetText(const LyricSheet &sheet)
{
    QStringList out;
    for (const LyricLine &line : sheet) {
        QStringList words;
        for (const LyricWord &w : line.words)
            words << QStringLiteral("%1@%2-%3").arg(w.ms).arg(w.start).arg(w.end);
        out << QStringLiteral("%1:%2").arg(line.ms).arg(line.text) +
                   (words.isEmpty() ? QString() : '{' + words.join(',') + '}') +
                   (line.endMs < 0 ? QString() : QStringLiteral("~%1").arg(line.endMs));
    }
    return out.join(" | ");
}

// "P0:one/two" for a page shown at ms 0 (lines joined by '/'), "H1000:0-3" for a wipe.
QString pagesText(const DisplayTimeline &timeline)
{
    QStringList out;
    for (const DisplayEvent &e : timeline)
        out << (e.kind == DisplayEvent::Kind::Page
                    ? QStringLiteral("P%1:%2").arg(e.ms).arg(QString(e.page).replace('\n', '/'))
                    : QStringLiteral("H%1:%2-%3")
                          .arg(e.ms)
                          .arg(e.highlightStart)
                          .arg(e.highlightEnd));
    return out.join(" | ");
}

QByteArray syncsafe(int n) // four 7-bit bytes
{
    return QByteArray(1, char(n >> 21 & 0x7f)) + char(n >> 14 & 0x7f) + char(n >> 7 & 0x7f) +
           char(n & 0x7f);
}

// An ID3v2.4 tag of frames, each its four-letter id and its body; a frame or tag size may be
// given to state instead of the true one.
QByteArray id3Tag(const QByteArrayList &frames, int frameSize = -1, int tagSize = -1)
{
    QByteArray all;
    for (const QByteArray &f : frames)
        all += f.left(4) + syncsafe(frameSize < 0 ? int(f.size()) - 4 : frameSize) +
               QByteArray(2, '\0') + f.mid(4);
    return "ID3\x04" + QByteArray(2, '\0') + syncsafe(tagSize < 0 ? int(all.size()) : tagSize) +
           all;
}

// A SYLT frame in UTF-8: content type 1 for lyrics (3 chords), times in milliseconds (format 2)
// or in MPEG frames (format 1).
QByteArray syltFrame(const QList<QPair<quint32, QByteArray>> &entries, char type = 1,
                     char format = 2)
{
    QByteArray frame = "SYLT\x03xxx" + QByteArray(1, format) + type + '\0';
    for (const auto &[time, text] : entries) {
        QByteArray bigEndian(4, '\0');
        qToBigEndian<quint32>(time, bigEndian.data());
        frame += text + '\0' + bigEndian;
    }
    return frame;
}

const QByteArray uslt = "USLT\x03xxx" + QByteArray(1, '\0') + "[00:01]from uslt";

} // namespace

class TestLyrics : public QObject
{
    Q_OBJECT

private slots:
    void lyricsFiles_data();
    void lyricsFiles();
    void whichLyricsASongShows();

private:
    QTemporaryDir dir;
};

void TestLyrics::lyricsFiles_data()
{
    // An LRC file, or a song whose ID3v2 tag holds the lyrics; unless null, its timed lines and
    // its pages and wipes.
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("lines");
    QTest::addColumn<QString>("pages");
    auto row = [](const char *name, const QByteArray &bytes, const QString &lines = {},
                  const QString &pages = {}) {
        QTest::addRow("%s", name) << bytes << lines << pages;
    };
    // The same lyrics in the encodings they come in; without a byte-order mark, a guess.
    auto encoded = [&](const char *encoding, const QString &text, bool bom = false) {
        QStringEncoder encoder(encoding, bom ? QStringConverter::Flag::WriteBom
                                             : QStringConverter::Flag::Default);
        row(encoding, encoder.encode("[00:01]" + text), "1000:" + text);
    };
    const QString zh = QStringLiteral("我们一起唱这首歌 月亮代表我的心 你问我爱你有多深");
    const QString tw = QStringLiteral("我們一起唱這首歌 月亮代表我的心 你問我愛你有多深");
    const QString ja = QStringLiteral("上を向いて歩こう 涙がこぼれないように 思い出す春の日");
    const QString west = QStringLiteral("Ça m’a plu, “déjà vu” Über den Wolken – naïve Träume");
    encoded("UTF-8", zh);
    encoded("UTF-16LE", ja, true);
    encoded("GBK", zh);
    encoded("Big5", tw);
    encoded("Shift_JIS", ja);
    encoded("windows-1252", west);
    row("stamp forms",
        "[00:01.23456]a\n[00:02,25]b\n[ 00:03 ]c\n[01:02]d\n[01:02.005]e\n[01:02.05]f\n"
        "[01:02.5]g\n[01:02:50]h\n[1:01:02.50]i\n[125:00.00]j",
        "1234:a | 2250:b | 3000:c | 62000:d | 62005:e | 62050:f | 62500:g | 62500:h | "
        "3662500:i | 7500000:j");
    row("no stamps: untimed lines",
        "[00:60.00]a\n[-00:01.00]b\n[00:01.]c\n[1:00:01:02]d\n[1:60:00.00]e\n[0a:1b]f\n"
        "[99999999999999999999:00]g\n[00:02]ok",
        "2000:ok");
    row("repeated stamps sorted, shared times in file order",
        "[00:10.00][00:05.00]Chorus\n[00:07.00]Verse\n[00:05][00:05]Once",
        "5000:Chorus | 5000:Once | 7000:Verse | 10000:Chorus");
    row("the first offset, never before the start",
        "[offset:+500]\n[offset:+1000]\n[00:10.00]a\n[00:00.20]b", "0:b | 9500:a");
    row("an unreadable offset ignored, a negative one after the lines",
        "[offset:soon]\n[00:10.00]a\n[OFFSET: -500 ]", "10500:a");
    row("header tags and untimed lines ignored",
        "[ar:Artist]\n[length: 03:20]\njust a title\n[00:01]a\n[Chorus]\n\n[00:01 b\n[00:02]b",
        "1000:a | 2000:b");
    row("CRLF, CR and stray BOMs", "\xef\xbb\xbf[00:01]a\r\n\xef\xbb\xbf[00:02]b\r[00:03]c\r\n",
        "1000:a | 2000:b | 3000:c");
    row("spaces trimmed, tabs are spaces, control characters dropped",
        "  [00:01]  \ta\tb\x01"
        "c\xc2\x85  ",
        "1000:a bc");
    row("word stamps with closing stamp",
        "[00:01.00]<00:01.00>Hel<00:01.50>lo <00:02.00>world<00:02.80>",
        "1000:Hello world{1000@0-3,1500@3-5,2000@6-11}~2800");
    row("word stamps after text, after the line stamp",
        "[00:01.00]Hi <00:01.50>there\n[00:03.00] <00:03.40>late <00:04.00>start",
        "1000:Hi there{1000@0-2,1500@3-8} | 3000:late start{3400@0-4,4000@5-10}");
    row("word stamps going backwards held; only word stamps is a break",
        "[00:05.00]<00:05.00>a <00:04.00>b\n[00:07]<00:07.00> <00:08.00>",
        "5000:a b{5000@0-1,5000@2-3} | 7000:");
    row("four lines a page, next at its first line",
        "[00:01]one\n[00:02]two\n[00:03]three\n[00:04]four\n[00:05]five\n[00:06]six", {},
        "P0:one/two/three/four | H1000:0-3 | H2000:0-7 | H3000:0-13 | H4000:0-18 | "
        "P5000:five/six | H5000:0-4 | H6000:0-8");
    row("empty timed lines are breaks, leading, repeated or trailing; a break ends a page",
        "[00:00]\n[00:01]a\n[00:02]\n[00:03]   \n[00:04]b\n[00:05]",
        "0: | 1000:a | 2000: | 3000: | 4000:b | 5000:", "P0:a | H1000:0-1 | P2000:b | H4000:0-1");
    row("closing word stamp ends a page, or the break before it",
        "[00:01]<00:01>a<00:01.5>\n[00:02]<00:02>b<00:02.5>\n[00:03]<00:03>c<00:03.5>\n"
        "[00:04]<00:04>d <00:04.5>e<00:05>\n[00:09]<00:09>f<00:12>\n[00:10]\n[00:15]g",
        {},
        "P0:a/b/c/d e | H1000:0-1 | H2000:0-3 | H3000:0-5 | H4000:0-7 | H4500:0-9 | "
        "P5000:f | H9000:0-1 | P10000:g | H15000:0-1");
    row("a shared time is not split across pages, unless it fills one",
        "[00:01]a\n[00:02]b\n[00:03]c\n[00:04]d\n[00:04]D\n[00:05]1\n[00:05]2\n[00:05]3\n[00:05]4"
        "\n[00:05]5",
        {},
        "P0:a/b/c | H1000:0-1 | H2000:0-3 | H3000:0-5 | P4000:d/D | H4000:0-3 | P5000:1/2/3/4 | "
        "P5000:5 | H5000:0-1");
    row("words sung after the page changed are dropped",
        "[00:01]a\n[00:02]b\n[00:03]c\n[00:04]<00:04>x <00:06>y\n[00:05]e", {},
        "P0:a/b/c/x y | H1000:0-1 | H2000:0-3 | H3000:0-5 | H4000:0-7 | P5000:e | H5000:0-1");
    // Songs of silent frames of one kind (the tag reader learns the rate, version and layer
    // from them) whose tag holds SYLT frames.
    auto song = [](const QByteArrayList &frames, const char *header = "fffb9000", int size = 417) {
        return id3Tag(frames) + QByteArray::fromHex(header).leftJustified(size, '\0').repeated(20);
    };
    const QByteArray inFrames = syltFrame({{0, "first"}, {100, "second"}}, 1, 1);
    row("SYLT in MPEG frames, MPEG-1 layer III 44.1 kHz", song({inFrames}),
        "0:first | 2612:second");
    row("SYLT in MPEG frames, MPEG-2 layer III 22.05 kHz", song({inFrames}, "fff38000", 208),
        "0:first | 2612:second");
    row("SYLT in MPEG frames, MPEG-1 layer I 48 kHz", song({inFrames}, "fffe8400", 256),
        "0:first | 800:second");
    row("SYLT of chords is no lyrics", song({syltFrame({{1000, "C"}}, 3)}), "");
    row("SYLT entries are lines at their time, in time order",
        song({syltFrame({{1000, "C"}}, 3), syltFrame({{2000, "two"}, {1000, "a\nb"}, {3000, ""}})}),
        "1000:a | 1000:b | 2000:two | 3000:");
    row("SYLT line feeds start lines, entries are words, an empty one ends the last",
        song({syltFrame(
            {{1000, "\nHel"}, {1500, "lo "}, {2000, "you"}, {2500, ""}, {3000, "\nX"}})}),
        "1000:Hello you{1000@0-3,1500@3-5,2000@6-9}~2500 | 3000:X{3000@0-1}");
    row("SYLT CR LF and CR start lines too, a line feed alone is a break",
        song({syltFrame({{1000, "\r\na"}, {2000, "\n"}, {3000, "\rb"}})}),
        "1000:a{1000@0-1} | 2000: | 3000:b{3000@0-1}");
    row("SYLT first line without its line feed",
        song({syltFrame({{1000, "a "}, {1200, "b"}, {3000, "\nc"}})}),
        "1000:a b{1000@0-1,1200@2-3} | 3000:c{3000@0-1}");

    // Hostile files.
    row("huge numbers", "[99999999999999999999:99.999999999]x\n[offset:-99999999999999999999]\n"
                        "[00:01]<9999:59.999>y");
    // a line stamped a hundred thousand times must not multiply its text without limit
    QByteArray stamps;
    for (int i = 0; i < 100000; ++i)
        stamps += QStringLiteral("[%1:%2]").arg(i / 60).arg(i % 60, 2, 10, QChar('0')).toLatin1();
    row("100000 stamps on a line", stamps + QByteArray(200, 'x'));
    // Mangled lyrics and lyrics frames: random bytes and the characters the parser looks for put
    // in anywhere, among repeats, shared times, breaks and word stamps in every order.
    QRandomGenerator random(20261206);
    const char alphabet[] = "[]<>:.,0123456789\n\r offset:+-\xef\xbb\xbf\xff\xfe\x80\xe4";
    auto mangle = [&](QByteArray bytes, int edits) {
        for (int n = int(random.bounded(edits)); n > 0; --n)
            bytes.insert(int(random.bounded(bytes.size() + 1)),
                         random.bounded(4) ? alphabet[random.bounded(int(sizeof alphabet) - 1)]
                                           : char(random.bounded(256)));
        return bytes;
    };
    const QByteArray sample = "[00:01][00:09]<00:01>la <00:03>\xf0\x9f\x8e\xb6<00:02>\n[00:01]?\n"
                              "[00:05]\n[offset:+9][00:04.5] <00:06>a <00:04>b<00:07>\n[00:02]";
    for (int round = 0; round < 300; ++round)
        row(qPrintable(QStringLiteral("mangled LRC %1").arg(round)),
            mangle(sample.repeated(1 + round % 7), round % 2 ? 400 : 8));
    const QByteArray audio = Mp3Fixtures::emptyFrames(10);
    const QByteArray words = syltFrame({{1000, "\nla "}, {1500, "li"}, {1800, ""}, {900, "\r\n"}});
    for (int round = 0; round < 200; ++round) {
        const QByteArray frame = round % 2 ? words : uslt;
        row(qPrintable(QStringLiteral("mangled frame %1").arg(round)),
            id3Tag({frame.left(4) + mangle(frame.mid(4), 20)}) + audio);
    }
    row("SYLT longer than the tag", id3Tag({words}, 0x0fffffff) + audio);
    row("tag longer than the file", id3Tag({words}, -1, 0x0fffffff) + audio);
    row("SYLT entry cut in its time", id3Tag({words.chopped(2)}) + audio);
}

void TestLyrics::lyricsFiles()
{
    // Whatever the file, lines in time order, words inside their line in time order, the text
    // bounded; pages from ms 0 in time order, wipes that grow inside the page they belong to.
    QFETCH(QByteArray, bytes);
    QFETCH(QString, lines);
    QFETCH(QString, pages);
    const QString song = dir.filePath("lyrics.mp3");
    const bool tagged = bytes.startsWith("ID3");
    QVERIFY(!tagged || Mp3Fixtures::writeFile(song, bytes));
    const LyricSheet sheet = tagged ? Id3Lyrics::read(song) : LrcParser::parse(bytes);
    const QString got = sheetText(sheet), laidOut = pagesText(PageBuilder::build(sheet));
    QVERIFY2((lines.isNull() || got == lines) && (pages.isNull() || laidOut == pages),
             qPrintable(got + "\n" + laidOut));
    qsizetype text = 0;
    for (qsizetype i = 0; i < sheet.size(); ++i) {
        const LyricLine &line = sheet[i];
        QVERIFY(line.ms >= (i ? sheet[i - 1].ms : 0) &&
                !line.text.contains(QRegularExpression("[\r\n]")));
        text += line.text.size();
        LyricWord before{line.ms, 0, 0};
        for (const LyricWord &w : line.words) {
            QVERIFY(w.ms >= before.ms && w.start >= before.end && w.start < w.end &&
                    w.end <= line.text.size());
            before = w;
        }
        QVERIFY(line.endMs == -1 || line.endMs >= before.ms);
    }
    QVERIFY(text <= LrcParser::maxSheetText);
    qint64 previous = 0;
    int pageLength = -1, wiped = 0;
    for (const DisplayEvent &e : PageBuilder::build(sheet)) {
        const bool page = e.kind == DisplayEvent::Kind::Page;
        QVERIFY(e.ms >= previous &&
                (page ? e.page.count('\n') < PageBuilder::linesPerPage && !e.page.isEmpty()
                      : e.highlightStart == 0 && e.highlightEnd > wiped &&
                            e.highlightEnd <= pageLength));
        previous = e.ms;
        pageLength = page ? int(e.page.size()) : pageLength;
        wiped = page ? 0 : e.highlightEnd;
    }
}

void TestLyrics::whichLyricsASongShows()
{
    // One song gains lyrics of every kind; after each step, where its first page comes from.
    const QString song = dir.filePath("my.song.mp3");
    auto shown = [&] {
        const SongLyrics lyrics = SongLyrics::forSong(song);
        return lyrics.source() + ": " + (lyrics.hasLyrics() ? lyrics.timeline()[0].page : "-");
    };
    const QByteArray audio = Mp3Fixtures::emptyFrames(40);
    const QByteArray chords = syltFrame({{1000, "chords"}}, 3);
    QVERIFY(Mp3Fixtures::writeFile(song, id3Tag({chords, uslt}) + audio));
    QCOMPARE(shown(), "ID3v2 USLT: from uslt");
    QVERIFY(Mp3Fixtures::writeFile(song, id3Tag({chords, uslt, syltFrame({{1, "old"}})}) + audio));
    QCOMPARE(shown(), "ID3v2 SYLT: old");
    // Embedding replaces the lyrics only: chords, USLT and the audio stay.
    QString error;
    QVERIFY(Id3Lyrics::writeSylt(song, LrcParser::parse(QStringLiteral("[00:03]new")), &error));
    QCOMPARE(shown(), "ID3v2 SYLT: new");
    QFile file(song);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QVERIFY(bytes.count("SYLT") == 2 && bytes.contains(chords.mid(4)) && bytes.endsWith(audio));
    QVERIFY(bytes.contains(uslt.mid(4)));
    // Lyrics beside the song come first.
    QVERIFY(Mp3Fixtures::writeFile(dir.filePath("my.song.lrc"), "[00:01]from lrc"));
    QCOMPARE(shown(), "my.song.lrc: from lrc");
}

QTEST_GUILESS_MAIN(TestLyrics)
#include "tst_lyrics.moc"
