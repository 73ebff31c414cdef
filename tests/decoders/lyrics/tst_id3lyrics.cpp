#include "id3lyrics.h"
#include "lrcparser.h"
#include "mp3fixtures.h"
#include "sheettext.h"
#include "songlyrics.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/synchronizedlyricsframe.h>
#include <taglib/textidentificationframe.h>
#include <taglib/unsynchronizedlyricsframe.h>

using TagLib::ID3v2::SynchronizedLyricsFrame;
using Entries = QVector<LyricLine::Piece>;

Q_DECLARE_METATYPE(Entries)

namespace {

// count frames of the given header whose audio data is all zero: enough for the tag reader to
// find the stream and its sample rate, version and layer.
QByteArray mpegFrames(quint32 header, int frameBytes, int count)
{
    QByteArray frame(frameBytes, '\0');
    for (int i = 0; i < 4; ++i)
        frame[i] = char(header >> (24 - 8 * i));
    return frame.repeated(count);
}

TagLib::String tl(const QString &s)
{
    return TagLib::String(s.toUtf8().constData(), TagLib::String::UTF8);
}

// Adds a SYLT frame to the song's ID3v2 tag (created when missing).
void addSylt(
    const QString &song, const Entries &entries,
    SynchronizedLyricsFrame::TimestampFormat format = SynchronizedLyricsFrame::AbsoluteMilliseconds,
    SynchronizedLyricsFrame::Type type = SynchronizedLyricsFrame::Lyrics,
    TagLib::String::Type encoding = TagLib::String::UTF16)
{
    TagLib::MPEG::File file(QFile::encodeName(song).constData());
    auto *sylt = new SynchronizedLyricsFrame(encoding);
    sylt->setTimestampFormat(format);
    sylt->setType(type);
    SynchronizedLyricsFrame::SynchedTextList list;
    for (const LyricLine::Piece &e : entries)
        list.append(SynchronizedLyricsFrame::SynchedText(uint(e.ms), tl(e.text)));
    sylt->setSynchedText(list);
    file.ID3v2Tag(true)->addFrame(sylt);
    QVERIFY(file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripNone, TagLib::ID3v2::v3));
}

void addUsltAndTitle(const QString &song, const QString &lyrics)
{
    TagLib::MPEG::File file(QFile::encodeName(song).constData());
    auto *uslt = new TagLib::ID3v2::UnsynchronizedLyricsFrame(TagLib::String::UTF16);
    uslt->setText(tl(lyrics));
    TagLib::ID3v2::Tag *tag = file.ID3v2Tag(true);
    tag->addFrame(uslt);
    tag->setTitle("A Title");
    QVERIFY(file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripNone, TagLib::ID3v2::v3));
}

} // namespace

class TestId3Lyrics : public QObject
{
    Q_OBJECT

private slots:
    void mpegFrameTime_data();
    void mpegFrameTime();
    void syltInMpegFrames_data();
    void syltInMpegFrames();
    void syltConventions_data();
    void syltConventions();
    void sourcesInOrder();
    void otherFramesIgnoredAndKeptByEmbed();
    void hostileTags();

private:
    QTemporaryDir dir;
};

void TestId3Lyrics::mpegFrameTime_data()
{
    QTest::addColumn<int>("rate");
    QTest::addColumn<bool>("mpeg1");
    QTest::addColumn<int>("layer");
    QTest::addColumn<qint64>("ms"); // of frame 1000
    QTest::addRow("MPEG-1 layer III 44.1 kHz") << 44100 << true << 3 << qint64(26122);
    QTest::addRow("MPEG-2 layer III 22.05 kHz") << 22050 << false << 3 << qint64(26122);
    QTest::addRow("MPEG-2.5 layer III 8 kHz") << 8000 << false << 3 << qint64(72000);
    QTest::addRow("MPEG-2 layer II 16 kHz") << 16000 << false << 2 << qint64(72000);
    QTest::addRow("MPEG-1 layer I 44.1 kHz") << 44100 << true << 1 << qint64(8707);
    QTest::addRow("no rate") << 0 << true << 3 << qint64(-1);
    QTest::addRow("no layer") << 44100 << true << 0 << qint64(-1);
}

void TestId3Lyrics::mpegFrameTime()
{
    QFETCH(int, rate);
    QFETCH(bool, mpeg1);
    QFETCH(int, layer);
    QFETCH(qint64, ms);
    QCOMPARE(Id3Lyrics::mpegFramesToMs(1000, rate, mpeg1, layer), ms);
    QCOMPARE(Id3Lyrics::mpegFramesToMs(0, rate, mpeg1, layer), ms < 0 ? -1 : 0);
}

void TestId3Lyrics::syltInMpegFrames_data()
{
    QTest::addColumn<QByteArray>("audio");
    QTest::addColumn<qint64>("ms"); // of frame 100
    QTest::addRow("MPEG-1 layer III 44.1 kHz") << mpegFrames(0xfffb9000, 417, 20) << qint64(2612);
    QTest::addRow("MPEG-2 layer III 22.05 kHz") << mpegFrames(0xfff38000, 208, 20) << qint64(2612);
    QTest::addRow("MPEG-1 layer II 48 kHz") << mpegFrames(0xfffd8400, 384, 20) << qint64(2400);
    QTest::addRow("MPEG-1 layer I 48 kHz") << mpegFrames(0xfffe8400, 256, 20) << qint64(800);
}

void TestId3Lyrics::syltInMpegFrames()
{
    QFETCH(QByteArray, audio);
    QFETCH(qint64, ms);
    const QString song = dir.filePath(QStringLiteral("frames.mp3"));
    QVERIFY(Mp3Fixtures::writeFile(song, audio));
    addSylt(song, {{0, QStringLiteral("first")}, {100, QStringLiteral("second")}},
            SynchronizedLyricsFrame::AbsoluteMpegFrames);
    QString source;
    QCOMPARE(sheetText(Id3Lyrics::read(song, &source)),
             QStringLiteral("0:first | %1:second").arg(ms));
    QCOMPARE(source, QStringLiteral("ID3v2 SYLT"));
}

void TestId3Lyrics::syltConventions_data()
{
    QTest::addColumn<Entries>("entries");
    QTest::addColumn<QString>("expected");
    QTest::addRow("each entry a line")
        << Entries{{1000, "one"}, {2000, "two"}, {3000, ""}} << "1000:one | 2000:two | 3000:";
    QTest::addRow("line feeds inside an entry: lines sharing its time")
        << Entries{{1000, "original\ntranslation"}} << "1000:original | 1000:translation";
    QTest::addRow("entries out of order") << Entries{{2000, "b"}, {1000, "a"}} << "1000:a | 2000:b";
    QTest::addRow("line feed starts a line, entries are words")
        << Entries{{1000, "\nHel"}, {1500, "lo "}, {2000, "you"}, {2500, ""}, {3000, "\nNext"}}
        << "1000:Hello you{1000@0-3,1500@3-5,2000@6-9}~2500 | 3000:Next{3000@0-4}";
    QTest::addRow("first line without its line feed")
        << Entries{{1000, "a "}, {1200, "b"}, {3000, "\nc"}}
        << "1000:a b{1000@0-1,1200@2-3} | 3000:c{3000@0-1}";
    QTest::addRow("carriage returns start lines too")
        << Entries{{1000, "\r\na"}, {2000, "\rb"}} << "1000:a{1000@0-1} | 2000:b{2000@0-1}";
    QTest::addRow("a line feed alone is a break")
        << Entries{{1000, "\nla"}, {2000, "\n"}, {5000, "\nla"}}
        << "1000:la{1000@0-2} | 2000: | 5000:la{5000@0-2}";
    QTest::addRow("end marker survives the next line feed")
        << Entries{{1000, "\nla"}, {1800, ""}, {5000, "\nli"}}
        << "1000:la{1000@0-2}~1800 | 5000:li{5000@0-2}";
    QTest::addRow("nothing") << Entries{} << "";
}

void TestId3Lyrics::syltConventions()
{
    QFETCH(Entries, entries);
    QFETCH(QString, expected);
    QCOMPARE(sheetText(Id3Lyrics::fromSyltEntries(entries)), expected);
}

void TestId3Lyrics::sourcesInOrder()
{
    const QString song = dir.filePath(QStringLiteral("my.song.mp3"));
    QVERIFY(Mp3Fixtures::writeFile(song, Mp3Fixtures::emptyFrames(40)));
    QVERIFY(!SongLyrics::forSong(song).hasLyrics());
    QCOMPARE(SongLyrics::forSong(song).source(), QString());

    addUsltAndTitle(song, QStringLiteral("[00:01]from uslt"));
    QCOMPARE(SongLyrics::forSong(song).source(), QStringLiteral("ID3v2 USLT"));
    QCOMPARE(SongLyrics::forSong(song).timeline().first().page, QStringLiteral("from uslt"));

    addSylt(song, {{1000, "from sylt"}});
    QCOMPARE(SongLyrics::forSong(song).source(), QStringLiteral("ID3v2 SYLT"));
    QCOMPARE(SongLyrics::forSong(song).timeline().first().page, QStringLiteral("from sylt"));

    // A sidecar without a single timed line does not hide the tag's lyrics.
    QVERIFY(Mp3Fixtures::writeFile(dir.filePath(QStringLiteral("my.song.LRC")),
                                   "[ar:Nobody]\nno stamps"));
    QCOMPARE(SongLyrics::forSong(song).source(), QStringLiteral("ID3v2 SYLT"));

    QVERIFY(Mp3Fixtures::writeFile(dir.filePath(QStringLiteral("my.song.LRC")), "[00:01]from LRC"));
    QCOMPARE(SongLyrics::forSong(song).source(), QStringLiteral("my.song.LRC"));

    QVERIFY(Mp3Fixtures::writeFile(dir.filePath(QStringLiteral("my.song.lrc")), "[00:01]from lrc"));
    const SongLyrics lyrics = SongLyrics::forSong(song);
    QCOMPARE(lyrics.source(), QStringLiteral("my.song.lrc"));
    QVERIFY(lyrics.hasLyrics());
    QCOMPARE(lyrics.timeline().first().page, QStringLiteral("from lrc"));

    QVERIFY(!SongLyrics::forSong(dir.filePath(QStringLiteral("missing.mp3"))).hasLyrics());
}

void TestId3Lyrics::otherFramesIgnoredAndKeptByEmbed()
{
    const QString song = dir.filePath(QStringLiteral("retag.mp3"));
    QVERIFY(Mp3Fixtures::writeFile(song, Mp3Fixtures::emptyFrames(40)));
    for (auto type : {SynchronizedLyricsFrame::Chord, SynchronizedLyricsFrame::Trivia})
        addSylt(song, {{1000, "not sung"}}, SynchronizedLyricsFrame::AbsoluteMilliseconds, type);
    QVERIFY(Id3Lyrics::read(song).isEmpty());
    addSylt(song, {{1000, "sung"}}, SynchronizedLyricsFrame::AbsoluteMilliseconds,
            SynchronizedLyricsFrame::Lyrics, TagLib::String::Latin1);
    QCOMPARE(sheetText(Id3Lyrics::read(song)), QStringLiteral("1000:sung"));

    // Embedding replaces the lyrics only: chords, trivia, USLT and title stay.
    addUsltAndTitle(song, QStringLiteral("[00:01]unsynchronised"));
    QString error;
    QVERIFY(Id3Lyrics::writeSylt(song, LrcParser::parse(QStringLiteral("[00:02]new")), &error));
    QVERIFY(Id3Lyrics::writeSylt(song, LrcParser::parse(QStringLiteral("[00:03]newer")), &error));
    QCOMPARE(sheetText(Id3Lyrics::read(song)), QStringLiteral("3000:newer"));
    TagLib::MPEG::File file(QFile::encodeName(song).constData());
    QCOMPARE(int(file.ID3v2Tag()->frameList("SYLT").size()), 3);
    QCOMPARE(file.ID3v2Tag()->title(), TagLib::String("A Title"));
    QCOMPARE(int(file.ID3v2Tag()->frameList("USLT").size()), 1);
    QCOMPARE(file.audioProperties()->sampleRate(), 44100);
}

void TestId3Lyrics::hostileTags()
{
    // Broken SYLT and USLT frames inside an otherwise valid tag, behind real audio frames.
    QRandomGenerator random(77);
    const QString song = dir.filePath(QStringLiteral("hostile.mp3"));
    for (int round = 0; round < 200; ++round) {
        QByteArray body(int(random.bounded(300)), Qt::Uninitialized);
        for (char &c : body)
            c = char(random.bounded(256));
        if (body.size() > 6) {
            body[0] = char(random.bounded(4)); // a known text encoding, mostly
            body[4] = char(random.bounded(3)); // timestamp format
            body[5] = 1;                       // lyrics
        }
        const char *id = round % 2 ? "SYLT" : "USLT";
        QByteArray frame = QByteArray(id) + char(0) + char(0) + char(body.size() >> 7) +
                           char(body.size() & 0x7f) + QByteArray(2, '\0') + body;
        const int size = int(frame.size());
        QByteArray tag = QByteArray("ID3\x04\x00\x00", 6) + char(0) + char(0) + char(size >> 7) +
                         char(size & 0x7f) + frame;
        QVERIFY(Mp3Fixtures::writeFile(song, tag + Mp3Fixtures::emptyFrames(10)));
        const LyricSheet sheet = Id3Lyrics::read(song);
        for (const LyricLine &line : sheet)
            QVERIFY(line.ms >= 0);
        SongLyrics::forSong(song).timeline();
    }
}

QTEST_GUILESS_MAIN(TestId3Lyrics)
#include "tst_id3lyrics.moc"
