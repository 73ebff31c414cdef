// A song's content bytes as the MP3 decoder hands them out, frame by frame; what they show once
// decoded is checked end to end by the kivo-lyrics tests, which run both libraries as the player
// does.
#include "kwo_imcx.h"
#include "kwo_mp3d.h"
#include "mp3fixtures.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr int songFrames = 900; // 23.5 s

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
    void cleanup() { KWO_MP3D_Close(); }
    void skipsAndRewindsSeeTheSameBytes();
    void songWithoutLyricsCarriesNothing();

private:
    QTemporaryDir dir;
};

void TestSongContent::initTestCase()
{
    QVERIFY(dir.isValid());
    for (const char *name : {"song.mp3", "plain.mp3"})
        QVERIFY(Mp3Fixtures::writeFile(dir.filePath(name), Mp3Fixtures::emptyFrames(songFrames)));
    QVERIFY(Mp3Fixtures::writeFile(dir.filePath("song.lrc"),
                                   "[00:04.00]First line of the song\n[00:06.50]Second line\n"
                                   "[00:08.00]<00:08.00>Word <00:08.40>by <00:08.90>word\n"
                                   "[00:14.00]\n[00:17.00]After the break\n"));
}

void TestSongContent::skipsAndRewindsSeeTheSameBytes()
{
    const QByteArray song = QFile::encodeName(dir.filePath("song.mp3"));
    StreamInfo info;
    QVERIFY(KWO_MP3D_Init(song.constData(), &info) & 0xFF);
    QVERIFY(IMCX_InitDecoder(song.constData()) != 0);
    const QByteArray straight = contentToEnd();
    QCOMPARE(straight.size(), songFrames * 2);
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
