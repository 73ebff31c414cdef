// The decoder library through its five functions: frame counts, the normalised output format,
// gapless sample-exact output, skipping and rewinding.
#include "kwo_mp3d.h"
#include "mp3fixtures.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <mpg123.h>

#include <cmath>
#include <cstring>

namespace {

constexpr int frameBytes = 4608;
constexpr int frameSamples = 1152;

// Every frame to the end, concatenated.
QByteArray decodeAll(int *frames = nullptr)
{
    QByteArray all;
    QByteArray pcm(frameBytes, '\0');
    uint8_t content[2];
    int n = 0;
    while (KWO_MP3D_DecodeNextFrame(reinterpret_cast<uint8_t *>(pcm.data()), content)) {
        all += pcm;
        ++n;
    }
    if (frames)
        *frames = n;
    return all;
}

// libmpg123's own gapless decode of a 44.1 kHz stereo file, 16-bit little-endian.
QByteArray referenceDecode(const QString &path)
{
    mpg123_init();
    mpg123_handle *handle = mpg123_new(nullptr, nullptr);
    mpg123_param(handle, MPG123_FLAGS, MPG123_GAPLESS | MPG123_QUIET, 0);
    mpg123_format_none(handle);
    mpg123_format(handle, 44100, MPG123_STEREO, MPG123_ENC_SIGNED_16);
    QByteArray all;
    if (mpg123_open(handle, QFile::encodeName(path).constData()) == MPG123_OK) {
        unsigned char buffer[16384];
        size_t done = 0;
        int result;
        do {
            result = mpg123_read(handle, buffer, sizeof buffer, &done);
            all.append(reinterpret_cast<const char *>(buffer), qsizetype(done));
        } while (result == MPG123_OK || result == MPG123_NEW_FORMAT);
    }
    mpg123_delete(handle);
    return all;
}

qint16 sampleAt(const QByteArray &pcm, qsizetype index)
{
    const auto *bytes = reinterpret_cast<const uchar *>(pcm.constData()) + index * 2;
    return qint16(bytes[0] | (bytes[1] << 8));
}

// The tone's frequency from the sign changes of one channel over [first, last) samples.
double measuredFrequency(const QByteArray &pcm, int channel, qsizetype first, qsizetype last)
{
    int crossings = 0;
    bool positive = sampleAt(pcm, first * 2 + channel) >= 0;
    qsizetype firstCrossing = -1, lastCrossing = -1;
    for (qsizetype i = first + 1; i < last; ++i) {
        const bool now = sampleAt(pcm, i * 2 + channel) >= 0;
        if (now != positive) {
            if (firstCrossing < 0)
                firstCrossing = i;
            else
                ++crossings;
            lastCrossing = i;
            positive = now;
        }
    }
    if (crossings == 0)
        return 0;
    return crossings / 2.0 / (double(lastCrossing - firstCrossing) / 44100.0);
}

} // namespace

class TestKwoMp3d : public QObject
{
    Q_OBJECT

private slots:
    void init() { QVERIFY(dir.isValid()); }
    void cleanup() { KWO_MP3D_Close(); }

    void streamInfoLayout();
    void exactFrameCount_data();
    void exactFrameCount();
    void sameSamplesAsLibmpg123_data();
    void sameSamplesAsLibmpg123();
    void normalisedRateAndPitch_data();
    void normalisedRateAndPitch();
    void forwardSkipsToTheSameSamples();
    void forwardReportsTheEnd();
    void stopRewindsAfterTheEnd();
    void contentBytesAreZero();
    void pathOutsideLatin1Opens();
    void callsWithoutAnOpenFileFail();

private:
    QString sine(const Mp3Fixtures::Sine &sine, const QString &name = "sine.mp3")
    {
        const QString path = dir.filePath(name);
        if (!Mp3Fixtures::writeSine(path, sine))
            return {};
        return path;
    }
    bool open(const QString &path)
    {
        StreamInfo info;
        return (KWO_MP3D_Init(QFile::encodeName(path).constData(), &info) & 0xff) != 0;
    }

    QTemporaryDir dir;
};

void TestKwoMp3d::streamInfoLayout()
{
    QCOMPARE(sizeof(StreamInfo), size_t(28));
    const QString path = sine({});
    StreamInfo info;
    std::memset(&info, 0xee, sizeof info);
    QVERIFY(KWO_MP3D_Init(QFile::encodeName(path).constData(), &info) & 0xff);
    unsigned char bytes[28];
    std::memcpy(bytes, &info, sizeof bytes);
    // channel count at byte 0, sample rate at byte 8, both 32-bit little-endian
    QCOMPARE(QByteArray(reinterpret_cast<char *>(bytes), 4), QByteArray("\x02\x00\x00\x00", 4));
    QCOMPARE(QByteArray(reinterpret_cast<char *>(bytes + 8), 4), QByteArray("\x44\xac\x00\x00", 4));
}

void TestKwoMp3d::exactFrameCount_data()
{
    QTest::addColumn<int>("layer");
    QTest::addColumn<int>("mpegFrames");
    QTest::addColumn<int>("frames");
    for (int n : {1, 2, 9, 10, 99, 101, 1000, 3000})
        QTest::addRow("%d frames", n) << 3 << n << n;
    QTest::addRow("Layer II") << 2 << 25 << 25;
    // Layer I frames hold 384 samples: three make one of ours, a fourth starts another.
    QTest::addRow("Layer I, whole frames") << 1 << 30 << 10;
    QTest::addRow("Layer I, a third left over") << 1 << 31 << 11;
}

void TestKwoMp3d::exactFrameCount()
{
    QFETCH(int, layer);
    QFETCH(int, mpegFrames);
    QFETCH(int, frames);
    const QString path = dir.filePath("frames.mp3");
    QVERIFY(Mp3Fixtures::writeFile(path, Mp3Fixtures::emptyFrames(mpegFrames, layer)));
    QVERIFY(open(path));
    int decoded = 0;
    const QByteArray pcm = decodeAll(&decoded);
    QCOMPARE(decoded, frames);
    QCOMPARE(pcm.count('\0'), pcm.size()); // silent frames decode to silence
    // A skip to just before the end leaves exactly one frame.
    QVERIFY(KWO_MP3D_Stop());
    QVERIFY(KWO_MP3D_Forward(frames - 1));
    QCOMPARE(decodeAll(&decoded).size(), qsizetype(frameBytes));
}

void TestKwoMp3d::sameSamplesAsLibmpg123_data()
{
    QTest::addColumn<int>("vbrQuality");
    QTest::addColumn<double>("seconds");
    QTest::addRow("CBR 128 kbps") << -1 << 2.0;
    QTest::addRow("VBR") << 4 << 2.0;
    QTest::addRow("shorter than one frame") << -1 << 0.01;
}

void TestKwoMp3d::sameSamplesAsLibmpg123()
{
    QFETCH(int, vbrQuality);
    QFETCH(double, seconds);
    Mp3Fixtures::Sine tone;
    tone.vbrQuality = vbrQuality;
    tone.seconds = seconds;
    const QString path = sine(tone);
    QVERIFY(!path.isEmpty());
    const QByteArray reference = referenceDecode(path);
    const qsizetype samples = qRound64(seconds * 44100);
    QCOMPARE(reference.size(), samples * 4); // gapless: exactly the encoded samples

    QVERIFY(open(path));
    int frames = 0;
    const QByteArray pcm = decodeAll(&frames);
    QCOMPARE(frames, int((samples + frameSamples - 1) / frameSamples));
    QCOMPARE(pcm.left(reference.size()), reference);
    // The last frame is completed with silence.
    const QByteArray tail = pcm.mid(reference.size());
    QCOMPARE(tail.count('\0'), tail.size());
}

void TestKwoMp3d::normalisedRateAndPitch_data()
{
    QTest::addColumn<int>("sampleRate");
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("bitrate");
    QTest::addRow("48 kHz mono") << 48000 << 1 << 64;
    QTest::addRow("22.05 kHz stereo MPEG-2") << 22050 << 2 << 64;
    QTest::addRow("22.05 kHz mono MPEG-2") << 22050 << 1 << 64;
    QTest::addRow("11.025 kHz mono MPEG-2.5") << 11025 << 1 << 32;
    QTest::addRow("44.1 kHz mono") << 44100 << 1 << 64;
}

void TestKwoMp3d::normalisedRateAndPitch()
{
    QFETCH(int, sampleRate);
    QFETCH(int, channels);
    QFETCH(int, bitrate);
    Mp3Fixtures::Sine tone;
    tone.sampleRate = sampleRate;
    tone.channels = channels;
    tone.bitrate = bitrate;
    tone.frequency = 1000;
    tone.seconds = 2;
    const QString path = sine(tone);
    QVERIFY(!path.isEmpty());

    StreamInfo info;
    QVERIFY(KWO_MP3D_Init(QFile::encodeName(path).constData(), &info) & 0xff);
    QCOMPARE(info.channels, 2);
    QCOMPARE(info.sampleRate, 44100);
    int frames = 0;
    const QByteArray pcm = decodeAll(&frames);
    // Two seconds at 44.1 kHz are 76.56 frames: the song lasts as long as it did.
    QVERIFY2(std::abs(frames - 2.0 * 44100 / frameSamples) <= 1.0,
             qPrintable(QString::number(frames)));
    // Right pitch on both channels, away from the fade-in and fade-out of the encoder.
    const qsizetype samples = pcm.size() / 4;
    for (int channel = 0; channel < 2; ++channel) {
        const double hz = measuredFrequency(pcm, channel, samples / 10, samples * 8 / 10);
        QVERIFY2(std::abs(hz - 1000) < 5, qPrintable(QString::number(hz)));
    }
    if (channels == 1) {
        for (qsizetype i = 0; i < samples; i += 97)
            QCOMPARE(sampleAt(pcm, 2 * i), sampleAt(pcm, 2 * i + 1));
    }
}

void TestKwoMp3d::forwardSkipsToTheSameSamples()
{
    Mp3Fixtures::Sine tone;
    tone.seconds = 3;
    tone.frequency = 523.25;
    const QString path = sine(tone);
    QVERIFY(open(path));
    int frames = 0;
    const QByteArray straight = decodeAll(&frames);
    QCOMPARE(frames, 115);
    for (int skip : {1, 2, 37, 100, 114}) {
        QVERIFY(KWO_MP3D_Stop());
        QVERIFY(KWO_MP3D_Forward(skip));
        int rest = 0;
        const QByteArray afterSkip = decodeAll(&rest);
        QCOMPARE(rest, frames - skip);
        QCOMPARE(afterSkip, straight.mid(qsizetype(skip) * frameBytes));
    }
    // Skips add up from the current position, also after decoding.
    QVERIFY(KWO_MP3D_Stop());
    uint8_t pcm[frameBytes], content[2];
    QVERIFY(KWO_MP3D_DecodeNextFrame(pcm, content));
    QVERIFY(KWO_MP3D_Forward(10));
    QVERIFY(KWO_MP3D_Forward(0));
    QVERIFY(KWO_MP3D_Forward(20));
    QVERIFY(KWO_MP3D_DecodeNextFrame(pcm, content));
    QCOMPARE(QByteArray(reinterpret_cast<char *>(pcm), frameBytes),
             straight.mid(31 * frameBytes, frameBytes));
}

void TestKwoMp3d::forwardReportsTheEnd()
{
    const QString path = dir.filePath("ten.mp3");
    QVERIFY(Mp3Fixtures::writeFile(path, Mp3Fixtures::emptyFrames(10)));
    QVERIFY(open(path));
    uint8_t pcm[frameBytes], content[2];
    QVERIFY(KWO_MP3D_Forward(10)); // held exactly ten frames
    QVERIFY(!KWO_MP3D_DecodeNextFrame(pcm, content));
    QVERIFY(KWO_MP3D_Stop());
    QVERIFY(!KWO_MP3D_Forward(11)); // ended first
    QVERIFY(!KWO_MP3D_DecodeNextFrame(pcm, content));
    QVERIFY(!KWO_MP3D_Forward(1));
    QVERIFY(KWO_MP3D_Stop());
    QVERIFY(KWO_MP3D_Forward(9));
    QVERIFY(!KWO_MP3D_Forward(2));
    QVERIFY(!KWO_MP3D_Forward(-1));
}

void TestKwoMp3d::stopRewindsAfterTheEnd()
{
    const QString path = sine({});
    QVERIFY(open(path));
    const QByteArray first = decodeAll();
    QVERIFY(!first.isEmpty());
    QVERIFY(KWO_MP3D_Stop());
    QCOMPARE(decodeAll(), first);
    QVERIFY(KWO_MP3D_Stop());
    QVERIFY(KWO_MP3D_Stop());
    QCOMPARE(decodeAll(), first);
}

void TestKwoMp3d::contentBytesAreZero()
{
    const QString path = sine({});
    QVERIFY(open(path));
    uint8_t pcm[frameBytes];
    uint8_t content[2] = {0xaa, 0x55};
    int frames = 0;
    while (KWO_MP3D_DecodeNextFrame(pcm, content)) {
        QCOMPARE(content[0], uint8_t(0));
        QCOMPARE(content[1], uint8_t(0));
        content[0] = 0xaa;
        content[1] = 0x55;
        ++frames;
    }
    QVERIFY(frames > 0);
}

void TestKwoMp3d::pathOutsideLatin1Opens()
{
    const QString path = sine({}, QStringLiteral("Песня 歌 ü.mp3"));
    QVERIFY(!path.isEmpty());
    QVERIFY(open(path));
    QVERIFY(!decodeAll().isEmpty());
}

void TestKwoMp3d::callsWithoutAnOpenFileFail()
{
    uint8_t pcm[frameBytes], content[2];
    QVERIFY(!KWO_MP3D_DecodeNextFrame(pcm, content));
    QVERIFY(!KWO_MP3D_Forward(1));
    QVERIFY(!KWO_MP3D_Stop());
    QVERIFY(!KWO_MP3D_Close());
    StreamInfo info;
    QVERIFY(!KWO_MP3D_Init(nullptr, &info));
    QVERIFY(!KWO_MP3D_Init(QFile::encodeName(sine({})).constData(), nullptr));
    // A failed Init closes the file that was open before.
    QVERIFY(open(sine({})));
    QVERIFY(!open(dir.filePath("missing.mp3")));
    QVERIFY(!KWO_MP3D_DecodeNextFrame(pcm, content));
    QVERIFY(open(sine({})));
    QVERIFY(KWO_MP3D_DecodeNextFrame(pcm, content));
    QVERIFY(!KWO_MP3D_DecodeNextFrame(nullptr, content));
    QVERIFY(KWO_MP3D_Close());
    QVERIFY(!KWO_MP3D_Close());
}

QTEST_GUILESS_MAIN(TestKwoMp3d)
#include "tst_kwomp3d.moc"
