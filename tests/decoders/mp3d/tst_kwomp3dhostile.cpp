// Files that are not what they claim: the library fails to open them or delivers a shorter
// stream, never crashes, hangs, reads outside a buffer or prints to stderr. Run under
// AddressSanitizer too.
#include "kwo_mp3d.h"
#include "mp3fixtures.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int frameBytes = 4608;

QByteArray randomBytes(quint32 seed, int size)
{
    QRandomGenerator random(seed);
    QByteArray bytes(size, '\0');
    for (char &c : bytes)
        c = char(random.bounded(256));
    return bytes;
}

// An ID3v2.3 header whose size field (four 7-bit bytes) says size.
QByteArray id3v2Header(quint32 size)
{
    QByteArray header("ID3\x03\x00\x00", 6);
    for (int shift : {21, 14, 7, 0})
        header += char((size >> shift) & 0x7f);
    return header;
}

// Decodes to the end, or to one frame past limit when the stream would run on longer.
int framesToEnd(int limit)
{
    uint8_t pcm[frameBytes], content[2];
    int frames = 0;
    while (frames <= limit && KWO_MP3D_DecodeNextFrame(pcm, content))
        ++frames;
    return frames;
}

// The tone's energy in one frame: mean absolute sample.
double loudness(const uint8_t *pcm)
{
    double sum = 0;
    for (int i = 0; i < frameBytes / 2; ++i)
        sum += std::abs(qint16(pcm[2 * i] | (pcm[2 * i + 1] << 8)));
    return sum / (frameBytes / 2);
}

QStringList messages;
void collect(QtMsgType, const QMessageLogContext &, const QString &text)
{
    messages << text;
}

} // namespace

class TestKwoMp3dHostile : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init() { QVERIFY(dir.isValid()); }
    void cleanup();

    void failsToOpen_data();
    void failsToOpen();
    void directoryAndPipeFailWithoutBlocking();
    void shorterStreamNeverLonger_data();
    void shorterStreamNeverLonger();
    void garbageInTheMiddleIsSkipped_data();
    void garbageInTheMiddleIsSkipped();
    void junkBeforeAndTagsAroundPlay();

private:
    bool open(const QString &path)
    {
        StreamInfo info;
        return (KWO_MP3D_Init(QFile::encodeName(path).constData(), &info) & 0xff) != 0;
    }
    QString write(const QString &name, const QByteArray &bytes)
    {
        const QString path = dir.filePath(name);
        return Mp3Fixtures::writeFile(path, bytes) ? path : QString();
    }
    QByteArray tone(double seconds)
    {
        Mp3Fixtures::Sine sine;
        sine.seconds = seconds;
        return Mp3Fixtures::encodeSine(sine);
    }

    QTemporaryDir dir;
    int savedStderr = -1;
    QString stderrPath;
    qint64 stderrSeen = 0;
};

// Everything written to stderr lands in a file that cleanup() reads after each test; the
// library's own diagnostics go to Qt's debug channel, collected here instead of printed.
void TestKwoMp3dHostile::initTestCase()
{
    QVERIFY(dir.isValid());
    // In the test's working folder, so a sanitizer report written there outlives a crash.
    stderrPath = QDir::current().filePath("stderr.txt");
    std::fflush(stderr);
    savedStderr = ::dup(STDERR_FILENO);
    QVERIFY(std::freopen(QFile::encodeName(stderrPath).constData(), "w", stderr));
    qInstallMessageHandler(collect);
}

void TestKwoMp3dHostile::cleanupTestCase()
{
    qInstallMessageHandler(nullptr);
    std::fflush(stderr);
    ::dup2(savedStderr, STDERR_FILENO);
    ::close(savedStderr);
}

// Nothing the library or libmpg123 does reaches stderr, with one exception: libmpg123 1.31
// prints this line for a Layer II joint-stereo header whose stereo bound exceeds the frame's
// subband limit (only ever seen in damaged data) without looking at its quiet flag.
void TestKwoMp3dHostile::cleanup()
{
    KWO_MP3D_Close();
    std::fflush(stderr);
    QFile captured(stderrPath);
    QVERIFY(captured.open(QIODevice::ReadOnly));
    QVERIFY(captured.seek(stderrSeen));
    const QByteArray text = captured.readAll();
    stderrSeen += text.size();
    for (const QByteArray &line : text.split('\n'))
        QVERIFY2(line.isEmpty() || line == "Truncating stereo boundary to sideband limit.",
                 line.constData());
}

void TestKwoMp3dHostile::failsToOpen_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addRow("zero length") << QByteArray();
    QTest::addRow("text") << QByteArray("This is not a song.\n").repeated(50);
    QTest::addRow("zeros") << QByteArray(100000, '\0');
    QTest::addRow("sync bytes only") << QByteArray(20000, char(0xff));
    QTest::addRow("ID3v2 tag only") << id3v2Header(100) + QByteArray(100, '\0');
    QTest::addRow("ID3v2 size beyond the file") << id3v2Header(0x0fffffff) + tone(0.5).left(3000);
    QTest::addRow("header cut short") << Mp3Fixtures::emptyFrames(1).left(3);
}

void TestKwoMp3dHostile::failsToOpen()
{
    QFETCH(QByteArray, bytes);
    const QString path = write("bad.mp3", bytes);
    QVERIFY(!open(path));
    uint8_t pcm[frameBytes], content[2];
    QVERIFY(!KWO_MP3D_DecodeNextFrame(pcm, content));
}

void TestKwoMp3dHostile::directoryAndPipeFailWithoutBlocking()
{
    QVERIFY(!open(dir.path()));
    QVERIFY(!open(dir.filePath("does not exist.mp3")));
    // Opening a pipe nobody writes to would block forever.
    const QString fifo = dir.filePath("pipe.mp3");
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QVERIFY(!open(fifo));
    QVERIFY(!open("/dev/zero"));
    // Unreadable (root reads anything, so only checked when the mode means something).
    const QString locked = write("locked.mp3", tone(0.2));
    QFile::setPermissions(locked, QFileDevice::WriteOwner);
    if (::geteuid() != 0)
        QVERIFY(!open(locked));
}

void TestKwoMp3dHostile::shorterStreamNeverLonger_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("maxFrames");
    const QByteArray song = tone(2); // 77 frames
    for (int cut : {1, 200, 417, 418, 419, 1000, 4001, 16000, int(song.size()) - 1})
        QTest::addRow("cut after %d bytes", cut) << song.left(cut) << 77;
    for (quint32 seed = 1; seed <= 12; ++seed)
        QTest::addRow("random bytes %u", seed)
            << randomBytes(seed, 30000 + 7919 * int(seed)) << 200;
    // Valid frame headers with random bodies: the decoder reads them as audio.
    QByteArray frames = Mp3Fixtures::emptyFrames(40);
    const QByteArray noise = randomBytes(99, frames.size());
    for (int i = 0; i < frames.size(); ++i)
        if (i % Mp3Fixtures::emptyFrameBytes >= 4)
            frames[i] = noise[i];
    QTest::addRow("random frame bodies") << frames << 40;
    QTest::addRow("huge ID3v2 size, then audio") << id3v2Header(0x0fffffff) + song << 77;
    QTest::addRow("ID3v2 size off by a few") << id3v2Header(10) + QByteArray(13, 'x') + song << 77;
}

void TestKwoMp3dHostile::shorterStreamNeverLonger()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, maxFrames);
    const QString path = write("hostile.mp3", bytes);
    if (!open(path))
        return; // refusing is a fine answer
    QVERIFY(framesToEnd(maxFrames) <= maxFrames);
    // Skipping and rewinding over the same damage is just as safe.
    QVERIFY(KWO_MP3D_Stop());
    KWO_MP3D_Forward(maxFrames / 2);
    QVERIFY(framesToEnd(maxFrames) <= maxFrames);
    QVERIFY(KWO_MP3D_Stop());
    QVERIFY(framesToEnd(maxFrames) <= maxFrames);
}

void TestKwoMp3dHostile::garbageInTheMiddleIsSkipped_data()
{
    QTest::addColumn<int>("garbageBytes");
    QTest::addRow("1 KiB") << 1024;
    QTest::addRow("4 KiB") << 4096;
    QTest::addRow("64 KiB") << 65536; // far beyond libmpg123's default resync limit
}

void TestKwoMp3dHostile::garbageInTheMiddleIsSkipped()
{
    QFETCH(int, garbageBytes);
    const QByteArray song = tone(4); // 154 frames
    // Text rather than random bytes, so no false frame header hides in it.
    const QByteArray garbage =
        QByteArray("garbage! ").repeated(garbageBytes / 9 + 1).left(garbageBytes);
    const qsizetype middle = song.size() / 2 + 123;
    const QString path = write("damaged.mp3", song.left(middle) + garbage + song.mid(middle));
    QVERIFY(open(path));
    uint8_t pcm[frameBytes], content[2];
    int frames = 0;
    int loudAfterMiddle = 0;
    while (frames < 1000 && KWO_MP3D_DecodeNextFrame(pcm, content)) {
        ++frames;
        if (frames > 90 && frames < 150 && loudness(pcm) > 1000)
            ++loudAfterMiddle;
    }
    // The rest of the song plays: the count loses at most the frames the damage hit.
    QVERIFY2(frames >= 150 && frames <= 156, qPrintable(QString::number(frames)));
    QVERIFY2(loudAfterMiddle >= 55, qPrintable(QString::number(loudAfterMiddle)));
}

void TestKwoMp3dHostile::junkBeforeAndTagsAroundPlay()
{
    const QByteArray song = tone(1); // 39 frames
    QByteArray id3v1("TAG", 3);
    id3v1 += QByteArray(125, ' ');
    const QByteArray ape = QByteArray("APETAGEX", 8) + QByteArray(24, '\0');
    const QByteArray junk = QByteArray("junk ").repeated(2000);
    const QString path =
        write("tagged.mp3", id3v2Header(200) + QByteArray(200, '\0') + junk + song + ape + id3v1);
    QVERIFY(open(path));
    const int frames = framesToEnd(100);
    QVERIFY2(frames >= 38 && frames <= 40, qPrintable(QString::number(frames)));
}

QTEST_GUILESS_MAIN(TestKwoMp3dHostile)
#include "tst_kwomp3dhostile.moc"
