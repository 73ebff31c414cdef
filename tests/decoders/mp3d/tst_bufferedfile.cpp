// The library's buffered file reader against the bytes it reads: reads of every size across
// buffer boundaries, seeks from all three origins, the end of the file.
#include "bufferedfile.h"
#include "mp3fixtures.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

class TestBufferedFile : public QObject
{
    Q_OBJECT

private slots:
    void readsAndSeeksMatchTheFile_data();
    void readsAndSeeksMatchTheFile();
    void badSeeksFail();
    void onlyRegularFilesOpen();
};

void TestBufferedFile::readsAndSeeksMatchTheFile_data()
{
    QTest::addColumn<int>("fileSize");
    QTest::addColumn<int>("largestRead");
    QTest::addRow("small reads in a small file") << 1000 << 64;
    QTest::addRow("frame-sized reads") << 300000 << 2000;
    QTest::addRow("reads larger than the buffer") << 400000 << 150000;
    QTest::addRow("empty file") << 0 << 100;
}

void TestBufferedFile::readsAndSeeksMatchTheFile()
{
    QFETCH(int, fileSize);
    QFETCH(int, largestRead);
    QTemporaryDir dir;
    QRandomGenerator random(uint(fileSize + largestRead));
    QByteArray bytes(fileSize, '\0');
    for (char &c : bytes)
        c = char(random.bounded(256));
    const QString path = dir.filePath("data.bin");
    QVERIFY(Mp3Fixtures::writeFile(path, bytes));

    const auto file = BufferedFile::open(QFile::encodeName(path).constData());
    QVERIFY(file);
    qint64 position = 0;
    QByteArray out(largestRead, '\0');
    for (int step = 0; step < 2000; ++step) {
        if (random.bounded(4) == 0) {
            const int whence = int(random.bounded(3)); // SEEK_SET, SEEK_CUR, SEEK_END
            const qint64 base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? position : fileSize;
            const qint64 target = random.bounded(fileSize + 1000);
            QCOMPARE(qint64(file->seek(off_t(target - base), whence)), target);
            position = target;
        } else {
            const int count = int(random.bounded(largestRead + 1));
            const qint64 expected = qMin<qint64>(count, qMax<qint64>(0, fileSize - position));
            QCOMPARE(qint64(file->read(out.data(), size_t(count))), expected);
            QCOMPARE(out.left(expected), bytes.mid(position, expected));
            position += expected;
        }
    }
}

void TestBufferedFile::badSeeksFail()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("data.bin");
    QVERIFY(Mp3Fixtures::writeFile(path, QByteArray(100, 'x')));
    const auto file = BufferedFile::open(QFile::encodeName(path).constData());
    QVERIFY(file);
    QCOMPARE(file->seek(50, SEEK_SET), off_t(50));
    QCOMPARE(file->seek(-51, SEEK_CUR), off_t(-1));
    QCOMPARE(file->seek(-101, SEEK_END), off_t(-1));
    QCOMPARE(file->seek(0, 42), off_t(-1));
    // A failed seek leaves the position where it was.
    char c = 0;
    QCOMPARE(file->seek(0, SEEK_CUR), off_t(50));
    QCOMPARE(file->read(&c, 1), ssize_t(1));
}

void TestBufferedFile::onlyRegularFilesOpen()
{
    QTemporaryDir dir;
    QVERIFY(!BufferedFile::open(QFile::encodeName(dir.path()).constData()));
    QVERIFY(!BufferedFile::open(QFile::encodeName(dir.filePath("none")).constData()));
    QVERIFY(!BufferedFile::open("/dev/null"));
}

QTEST_GUILESS_MAIN(TestBufferedFile)
#include "tst_bufferedfile.moc"
