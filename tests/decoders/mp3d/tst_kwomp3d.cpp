// The decoder library through its five functions: exact frame counts, the normalised output
// format, gapless sample-exact output, skipping and rewinding; and files that are not what they
// claim, which it refuses or plays no longer, never crashing, hanging or reading outside a
// buffer (run under AddressSanitizer too).
#include "kwo_mp3d.h"
#include "mp3fixtures.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <cstring>
#include <mpg123.h>
#include <sys/stat.h>

namespace {

constexpr int frameBytes = 4608;

// Decodes to the end, or to one frame past limit; pcm and content collect the frames' bytes,
// content what the library wrote over 0xAA 0x55.
int decodeAll(QByteArray *pcm = nullptr, QByteArray *content = nullptr, int limit = 100000)
{
    uint8_t frame[frameBytes];
    for (int n = 0;; ++n) {
        uint8_t bytes[2] = {0xaa, 0x55};
        if (n > limit || !KWO_MP3D_DecodeNextFrame(frame, bytes))
            return n;
        if (pcm)
            pcm->append(reinterpret_cast<const char *>(frame), frameBytes);
        if (content)
            content->append(reinterpret_cast<const char *>(bytes), 2);
    }
}

// libmpg123's own gapless decode of a file, as it comes (16-bit, the file's rate and channels).
QByteArray referenceDecode(const QString &path)
{
    mpg123_init();
    mpg123_handle *handle = mpg123_new(nullptr, nullptr);
    mpg123_param(handle, MPG123_FLAGS, MPG123_GAPLESS | MPG123_QUIET, 0);
    QByteArray all;
    unsigned char buffer[16384];
    size_t done = 0;
    int result = mpg123_open(handle, QFile::encodeName(path).constData());
    while (result == MPG123_OK || result == MPG123_NEW_FORMAT) {
        result = mpg123_read(handle, buffer, sizeof buffer, &done);
        all.append(reinterpret_cast<const char *>(buffer), qsizetype(done));
    }
    mpg123_delete(handle);
    return all;
}

} // namespace

Q_DECLARE_METATYPE(Mp3Fixtures::Sine)

class TestKwoMp3d : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { KWO_MP3D_Close(); }
    void decodesLikeLibmpg123AtTheRightPitch_data();
    void decodesLikeLibmpg123AtTheRightPitch();
    void skipsGiveTheSameSamplesAndContent();
    void framesOfAnyFile_data();
    void framesOfAnyFile();

private:
    static qint16 sample(const QByteArray &p, qint64 i)
    {
        return qFromLittleEndian<qint16>(p.data() + 2 * i);
    }
    static QByteArray tone(double s) { return Mp3Fixtures::encodeSine({440, 44100, 2, s}); }
    bool open(const QString &p) { return KWO_MP3D_Init(p.toLocal8Bit().constData(), &info) & 0xff; }
    // A tone's frequency on one channel at 44.1 kHz, from its rising zero crossings away from the
    // start and end.
    static double frequency(const QByteArray &pcm, int channel)
    {
        const qsizetype samples = pcm.size() / 4, first = samples / 10, last = samples * 8 / 10;
        int rises = 0;
        for (qsizetype i = first; i < last; ++i)
            rises += sample(pcm, 2 * i + channel) < 0 && sample(pcm, 2 * i + 2 + channel) >= 0;
        return rises * 44100.0 / double(last - first);
    }
    QString write(const QString &name, const QByteArray &bytes)
    {
        const QString path = dir.filePath(name);
        return Mp3Fixtures::writeFile(path, bytes) ? path : QString();
    }

    QTemporaryDir dir;
    StreamInfo info;
};

void TestKwoMp3d::decodesLikeLibmpg123AtTheRightPitch_data()
{
    QTest::addColumn<Mp3Fixtures::Sine>("sine"); // 1 kHz; rate, channels, seconds, kbps, VBR
    QTest::addRow("44.1 kHz stereo CBR") << Mp3Fixtures::Sine{1000, 44100, 2, 5.0, 128};
    QTest::addRow("44.1 kHz stereo VBR") << Mp3Fixtures::Sine{1000, 44100, 2, 2.0, 128, 4};
    QTest::addRow("shorter than one frame") << Mp3Fixtures::Sine{1000, 44100, 2, 0.01, 128};
    QTest::addRow("48 kHz mono") << Mp3Fixtures::Sine{1000, 48000, 1, 2.0, 64};
    QTest::addRow("22.05 kHz stereo MPEG-2") << Mp3Fixtures::Sine{1000, 22050, 2, 2.0, 64};
    QTest::addRow("11.025 kHz mono MPEG-2.5") << Mp3Fixtures::Sine{1000, 11025, 1, 2.0, 32};
}

void TestKwoMp3d::decodesLikeLibmpg123AtTheRightPitch()
{
    QFETCH(Mp3Fixtures::Sine, sine);
    const QString path = write("sine.mp3", Mp3Fixtures::encodeSine(sine));
    QVERIFY(!path.isEmpty());
    QVERIFY(!KWO_MP3D_Init(QFile::encodeName(path).constData(), nullptr));
    // Whatever the file holds, StreamInfo says 2 channels (32-bit little-endian at byte 0) and
    // 44 100 Hz (at byte 8), the rest zero.
    StreamInfo info;
    std::memset(&info, 0xee, sizeof info);
    QVERIFY(KWO_MP3D_Init(QFile::encodeName(path).constData(), &info) & 0xff);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(&info), sizeof info).toHex(),
             "02000000"
             "00000000"
             "44ac0000" +
                 QByteArray(32, '0'));

    QByteArray pcm, content;
    const int frames = decodeAll(&pcm, &content);
    QCOMPARE(content.count('\0'), content.size()); // no interactive content without lyrics
    if (sine.sampleRate == 44100) {
        // Gapless: exactly the encoded samples, the last frame completed with silence.
        const QByteArray reference = referenceDecode(path);
        QCOMPARE(reference.size(), qRound64(sine.seconds * 44100) * 4);
        QCOMPARE(frames, int((reference.size() + frameBytes - 1) / frameBytes));
        QCOMPARE(pcm.left(reference.size()), reference);
        QCOMPARE(pcm.mid(reference.size()).count('\0'), pcm.size() - reference.size());
        return;
    }
    // Resampled, the song lasts as long as it did (two seconds are 76.56 frames) at its pitch.
    QVERIFY2(qAbs(frames - sine.seconds * 44100 / 1152) <= 1, qPrintable(QString::number(frames)));
    for (int channel = 0; channel < 2; ++channel)
        QVERIFY2(qAbs(frequency(pcm, channel) - 1000) < 5, qPrintable(QString::number(channel)));
    for (qsizetype i = 0; sine.channels == 1 && i < pcm.size() / 4; i += 97)
        QCOMPARE(sample(pcm, 2 * i), sample(pcm, 2 * i + 1));
}

void TestKwoMp3d::skipsGiveTheSameSamplesAndContent()
{
    // A song with lyrics beside it: after any skip, the same samples and content bytes as
    // straight through; a backward skip fails.
    const QString path = write("song.mp3", tone(3));
    write("song.lrc", "[00:00.50]First line\n[00:01.00]<00:01.00>Word <00:01.40>by "
                      "<00:01.90>word\n[00:02.00]\n[00:02.50]After the break\n");
    QVERIFY(open(path));
    QByteArray straight, content;
    QCOMPARE(decodeAll(&straight, &content), 115);
    QVERIFY(content.count('\0') < content.size() - 40); // the lyrics travel in the frames
    for (int skip : {0, 0, 1, 37, 114, 115}) {          // Stop alone rewinds after the end
        QVERIFY(KWO_MP3D_Stop() && KWO_MP3D_Forward(skip / 2) && KWO_MP3D_Forward(skip - skip / 2));
        QVERIFY(!KWO_MP3D_Forward(-1));
        QByteArray pcm, bytes;
        QCOMPARE(decodeAll(&pcm, &bytes), 115 - skip);
        QCOMPARE(pcm, straight.mid(qsizetype(skip) * frameBytes));
        QCOMPARE(bytes, content.mid(skip * 2));
    }
    // A skip counts from the frame after the one decoded; one past the end fails.
    QVERIFY(KWO_MP3D_Stop() && decodeAll(nullptr, nullptr, 0) == 1 && KWO_MP3D_Forward(30));
    QVERIFY(!KWO_MP3D_DecodeNextFrame(nullptr, reinterpret_cast<uint8_t *>(content.data())));
    QByteArray pcm;
    QVERIFY(decodeAll(&pcm, nullptr, 0) == 1 && pcm == straight.mid(31 * frameBytes, frameBytes));
    QVERIFY(!KWO_MP3D_Forward(84) && decodeAll() == 0);
}

void TestKwoMp3d::framesOfAnyFile_data()
{
    // How many frames a file plays (none: it must be refused), and at least how many of them
    // carry its tone, so that what comes after damage still plays. Damaged files never play
    // longer than the song.
    QTest::addColumn<QString>("path"); // written with bytes unless they are null
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("minFrames");
    QTest::addColumn<int>("maxFrames");
    QTest::addColumn<int>("minLoud");
    const QString file = dir.filePath("any.mp3");
    auto row = [&](const QString &name, const QByteArray &bytes, int min, int max, int loud) {
        QTest::addRow("%s", qPrintable(name)) << file << bytes << min << max << loud;
    };
    for (int n : {1, 2, 10, 1000})
        row(QStringLiteral("%1 Layer III frames").arg(n), Mp3Fixtures::emptyFrames(n), n, n, 0);
    row("Layer II", Mp3Fixtures::emptyFrames(25, 2), 25, 25, 0);
    // Layer I frames hold 384 samples: three make one of ours, a fourth starts another.
    row("Layer I, whole frames", Mp3Fixtures::emptyFrames(30, 1), 10, 10, 0);
    row("Layer I, a third left over", Mp3Fixtures::emptyFrames(31, 1), 11, 11, 0);

    auto id3v2 = [](quint32 size) { // a tag header saying size, in four 7-bit bytes
        return QByteArray("ID3\x03\0\0", 6) + char(size >> 21 & 0x7f) + char(size >> 14 & 0x7f) +
               char(size >> 7 & 0x7f) + char(size & 0x7f);
    };
    row("zero length", "", 0, 0, 0);
    row("text", QByteArray("This is not a song.\n").repeated(50), 0, 0, 0);
    row("zeros", QByteArray(100000, '\0'), 0, 0, 0);
    row("ID3v2 tag only", id3v2(100) + QByteArray(100, '\0'), 0, 0, 0);
    row("ID3v2 size beyond the file", id3v2(0x0fffffff) + tone(0.5).left(3000), 0, 0, 0);
    row("header cut short", Mp3Fixtures::emptyFrames(1).left(3), 0, 0, 0);
    const QString fifo = dir.filePath("pipe.mp3"); // opening it would block
    QVERIFY(QFile::exists(fifo) || ::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
    for (const QString &path :
         {dir.filePath("missing.mp3"), dir.path(), fifo, QStringLiteral("/dev/zero")})
        QTest::addRow("%s", qPrintable(path)) << path << QByteArray() << 0 << 0 << 0;

    const QByteArray song = tone(2); // 77 frames
    for (int cut : {1, 200, 417, 418, 419, 1000, 4001, 16000, int(song.size()) - 1})
        row(QStringLiteral("cut after %1 bytes").arg(cut), song.left(cut), 0, 77, 0);
    // Random bytes, and valid frame headers with random bodies that the decoder reads as audio.
    QRandomGenerator random(99);
    for (int seed = 1; seed <= 13; ++seed) {
        QByteArray bytes = Mp3Fixtures::emptyFrames(seed == 13 ? 40 : 300 + 80 * seed);
        for (qsizetype i = 0; i < bytes.size(); ++i)
            bytes[i] = seed != 13 || i % Mp3Fixtures::emptyFrameBytes >= 4
                           ? char(random.bounded(256))
                           : bytes[i];
        row(QStringLiteral("random bytes %1").arg(seed), bytes, 0, seed == 13 ? 40 : 200, 0);
    }
    row("huge ID3v2 size, then audio", id3v2(0x0fffffff) + song, 0, 77, 0);
    row("ID3v2 size off by a few", id3v2(10) + QByteArray(13, 'x') + song, 77, 77, 75);
    // Text rather than random bytes, so no false frame header hides in it; 64 KiB is far beyond
    // libmpg123's default resync limit.
    const QByteArray longSong = tone(4); // 154 frames
    const qsizetype middle = longSong.size() / 2 + 123;
    for (int size : {1024, 65536})
        row(QStringLiteral("%1 bytes of garbage in the middle").arg(size),
            longSong.left(middle) + QByteArray("garbage! ").repeated(size / 9) +
                longSong.mid(middle),
            150, 156, 150);
    row("junk before, tags around",
        id3v2(200) + QByteArray(200, '\0') + QByteArray("junk ").repeated(2000) + tone(1) +
            QByteArray("APETAGEX").leftJustified(32, '\0') + "TAG" + QByteArray(125, ' '),
        38, 40, 37);
}

void TestKwoMp3d::framesOfAnyFile()
{
    QFETCH(QString, path);
    QFETCH(QByteArray, bytes);
    QFETCH(int, minFrames);
    QFETCH(int, maxFrames);
    QFETCH(int, minLoud);
    QVERIFY(bytes.isNull() || Mp3Fixtures::writeFile(path, bytes));
    // A failed open closes the song open before it, and every call then fails.
    QVERIFY(open(write("good.mp3", Mp3Fixtures::emptyFrames(5))));
    if (!open(path)) {
        QCOMPARE(minFrames, 0); // refusing is a fine answer for what holds no song
        uint8_t pcm[frameBytes], content[2];
        QVERIFY(!KWO_MP3D_DecodeNextFrame(pcm, content) && !KWO_MP3D_Forward(1));
        QVERIFY(!KWO_MP3D_Stop() && !KWO_MP3D_Close());
        return;
    }
    QByteArray pcm;
    const int frames = decodeAll(&pcm, nullptr, maxFrames);
    QVERIFY2(frames >= minFrames && frames <= maxFrames, qPrintable(QString::number(frames)));
    int loud = 0; // frames whose mean level is above 1000
    for (qsizetype frame = 0; frame < frames; ++frame) {
        qint64 sum = 0;
        for (qsizetype i = frame * frameBytes / 2; i < (frame + 1) * frameBytes / 2; ++i)
            sum += qAbs(sample(pcm, i));
        loud += sum > 1000 * frameBytes / 2;
    }
    QVERIFY2(loud >= minLoud, qPrintable(QString::number(loud)));
    // Skipping and rewinding over the same damage is just as safe.
    QVERIFY(KWO_MP3D_Stop());
    KWO_MP3D_Forward(maxFrames / 2);
    QVERIFY(decodeAll(nullptr, nullptr, maxFrames) <= maxFrames);
    QVERIFY(KWO_MP3D_Stop());
    QCOMPARE(decodeAll(nullptr, nullptr, maxFrames), frames);
}

QTEST_GUILESS_MAIN(TestKwoMp3d)
#include "tst_kwomp3d.moc"
