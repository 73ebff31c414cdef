// A song's lyrics through both decoder libraries, as the player runs them: the MP3 decoder hands
// out each frame's content bytes, the content decoder turns them into pages and highlights.
#include "contenttimeline.h"
#include "kwo_imcx.h"
#include "kwo_mp3d.h"
#include "mp3fixtures.h"
#include "songlyrics.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr int songFrames = 900; // 23.5 s

using namespace ContentTimeline;

class RecordingSink : public IMCXGuiSink
{
public:
    void showText(const char16_t *text) override
    {
        seen << describe(frame, page(0, QString::fromUtf16(text)));
    }
    int32_t setHighlight(int32_t start, int32_t length) override
    {
        seen << describe(frame, wipe(0, start, start + length));
        return start + length;
    }

    qint32 frame = 0;
    QStringList seen;
};

// Every remaining frame's content bytes.
QByteArray contentToEnd()
{
    QByteArray all;
    QByteArray pcm(4608, '\0');
    uint8_t content[2];
    while (KWO_MP3D_DecodeNextFrame(reinterpret_cast<uint8_t *>(pcm.data()), content))
        all.append(char(content[0])).append(char(content[1]));
    return all;
}

} // namespace

class TestSongContent : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void lyricsArriveOnTheirFrames();
    void skipsAndRewindsSeeTheSameBytes();
    void songWithoutLyricsCarriesNothing();

private:
    QTemporaryDir dir;
    QByteArray song;
};

void TestSongContent::initTestCase()
{
    QVERIFY(dir.isValid());
    song = QFile::encodeName(dir.filePath("song.mp3"));
    QVERIFY(Mp3Fixtures::writeFile(QFile::decodeName(song), Mp3Fixtures::emptyFrames(songFrames)));
    QFile lrc(dir.filePath("song.lrc"));
    QVERIFY(lrc.open(QIODevice::WriteOnly));
    lrc.write("[ti:content test]\n"
              "[00:04.00]First line of the song\n"
              "[00:06.50]Second line\n"
              "[00:08.00]<00:08.00>Word <00:08.40>by <00:08.90>word <00:09.30>\n"
              "[00:10.00]Fourth\n"
              "[00:12.00]A new page begins here\n"
              "[00:14.00]\n"
              "[00:17.00]After the break\n");
    lrc.close();
    QVERIFY(QFile::copy(dir.filePath("song.mp3"), dir.filePath("plain.mp3")));
}

void TestSongContent::cleanup()
{
    KWO_MP3D_Close();
    IMCX_Flush();
}

void TestSongContent::lyricsArriveOnTheirFrames()
{
    const DisplayTimeline timeline = SongLyrics::forSong(QFile::decodeName(song)).timeline();
    QVERIFY(timeline.size() > 1);
    StreamInfo info;
    QVERIFY(KWO_MP3D_Init(song.constData(), &info) & 0xFF);
    QVERIFY(IMCX_InitDecoder(song.constData()) != 0);
    RecordingSink sink;
    IMCX_InitGUI(&sink);
    const QByteArray content = contentToEnd();
    QCOMPARE(content.size(), songFrames * 2);
    for (int i = 0; i < content.size(); i += 2) {
        sink.frame = i / 2 + 1;
        IMCX_Decoder(reinterpret_cast<const uint8_t *>(content.constData()) + i, 2);
    }
    // The first page needs its text sent first, so it comes after its time (the song's start)
    // but before its first line is sung; everything else takes effect on its own frame.
    QVERIFY(!sink.seen.isEmpty());
    const QString firstPage = describe(0, timeline.first()).section(' ', 1);
    QVERIFY2(sink.seen.first().endsWith(" " + firstPage), qPrintable(sink.seen.first()));
    QVERIFY(sink.seen.first().section(' ', 0, 0).toInt() < ContentFormat::frameForMs(4000));
    QCOMPARE(sink.seen.mid(1), onTime(timeline.mid(1)));
}

void TestSongContent::skipsAndRewindsSeeTheSameBytes()
{
    StreamInfo info;
    QVERIFY(KWO_MP3D_Init(song.constData(), &info) & 0xFF);
    const QByteArray straight = contentToEnd();
    QVERIFY(straight != QByteArray(straight.size(), '\0'));
    for (int skip : {0, 1, 57, 400, songFrames - 1}) {
        QVERIFY(KWO_MP3D_Stop());
        QVERIFY(KWO_MP3D_Forward(skip));
        QCOMPARE(contentToEnd(), straight.mid(skip * 2));
    }
}

void TestSongContent::songWithoutLyricsCarriesNothing()
{
    const QByteArray plain = QFile::encodeName(dir.filePath("plain.mp3"));
    StreamInfo info;
    QVERIFY(KWO_MP3D_Init(plain.constData(), &info) & 0xFF);
    QCOMPARE(IMCX_InitDecoder(plain.constData()), 0);
    QCOMPARE(contentToEnd(), QByteArray(songFrames * 2, '\0'));
}

QTEST_GUILESS_MAIN(TestSongContent)
#include "tst_songcontent.moc"
