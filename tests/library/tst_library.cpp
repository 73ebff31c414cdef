// The song library: a hostile tree scanned, changes picked up, the search table, a damaged
// database rebuilt, and songs brought to the target loudness.
#include "librarydatabase.h"
#include "libraryindex.h"
#include "libraryscanner.h"
#include "librarywindow.h"
#include "loudnessmeter.h"
#include "mp3fixtures.h"
#include "songfacts.h"

#include <QFile>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/relativevolumeframe.h>
#include <taglib/textidentificationframe.h>

#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

namespace {

struct Tags
{
    QString title, artist, album;
    QString replayGain; // TXXX REPLAYGAIN_TRACK_GAIN text, if any
    double rva2 = 0;    // RVA2 master adjustment in dB, if not 0
};

bool tag(const QString &path, const Tags &tags)
{
    TagLib::MPEG::File file(QFile::encodeName(path).constData());
    TagLib::ID3v2::Tag *id3 = file.ID3v2Tag(true);
    id3->setTitle(TagLib::String(tags.title.toStdString(), TagLib::String::UTF8));
    id3->setArtist(TagLib::String(tags.artist.toStdString(), TagLib::String::UTF8));
    id3->setAlbum(TagLib::String(tags.album.toStdString(), TagLib::String::UTF8));
    if (!tags.replayGain.isEmpty()) {
        auto *frame = new TagLib::ID3v2::UserTextIdentificationFrame(TagLib::String::UTF8);
        frame->setDescription("REPLAYGAIN_TRACK_GAIN");
        frame->setText(tags.replayGain.toStdString());
        id3->addFrame(frame);
    }
    if (tags.rva2 != 0) {
        auto *frame = new TagLib::ID3v2::RelativeVolumeFrame();
        frame->setIdentification("track");
        frame->setVolumeAdjustment(float(tags.rva2));
        id3->addFrame(frame);
    }
    return file.save(TagLib::MPEG::File::ID3v2);
}

bool writeSong(const QString &path, const Tags &tags = {}, int frames = 20)
{
    return Mp3Fixtures::writeFile(path, Mp3Fixtures::emptyFrames(frames)) &&
           (tags.title.isEmpty() || tag(path, tags));
}

bool writeZip(const QString &path, const QStringList &entries)
{
    int error = 0;
    zip_t *archive = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!archive)
        return false;
    static const QByteArray bytes = Mp3Fixtures::emptyFrames(10);
    for (const QString &entry : entries) {
        zip_source_t *source = zip_source_buffer(archive, bytes.constData(), bytes.size(), 0);
        zip_file_add(archive, entry.toUtf8().constData(), source, ZIP_FL_ENC_UTF_8);
    }
    return zip_close(archive) == 0;
}

LibraryScanner::Summary scan(const QString &database, const QStringList &folders,
                             bool loudness = false)
{
    LibraryDatabase db(database, LibraryDatabase::Check::Thorough);
    LibraryScanner scanner(db);
    scanner.setMeasureLoudness(loudness);
    return scanner.scan(folders);
}

QStringList found(const LibraryIndex &index, const QString &words)
{
    QStringList titles;
    for (const LibrarySong &song : index.search(words, 1000))
        titles << song.title;
    titles.sort();
    return titles;
}

} // namespace

Q_DECLARE_METATYPE(Tags)

class TestLibrary : public QObject
{
    Q_OBJECT

private slots:
    void scanFindsExactlyTheSongs();
    void rescanPicksUpChanges();
    void search_data();
    void search();
    void damagedDatabaseIsRebuilt_data();
    void damagedDatabaseIsRebuilt();
    void loudness_data();
    void loudness();
    void windowPlaysWhatIsFound();

private:
    QTemporaryDir dir;
};

// Nested folders, Unicode names, sidecar files in other case, zips with and without a pair; a
// damaged and an empty MP3, a FIFO, a dangling link, a link loop and an unreadable file.
void TestLibrary::scanFindsExactlyTheSongs()
{
    const QString root = dir.filePath("tree");
    QVERIFY(QDir().mkpath(root + "/a/b/c") && QDir().mkpath(root + "/Ünïcode 日本"));
    QVERIFY(writeSong(root + "/top.mp3", {"Top", "Band", "Album"}));
    QVERIFY(writeSong(root + "/Ünïcode 日本/さくら.mp3", {"さくら", "", ""}));
    QVERIFY(Mp3Fixtures::writeFile(root + "/Ünïcode 日本/さくら.LRC", "[00:01.00]hi\n"));
    QVERIFY(writeSong(root + "/a/b/c/Some One - Deep.mp3"));
    QVERIFY(Mp3Fixtures::writeFile(root + "/a/b/c/some one - deep.cdg", QByteArray(96, 0)));
    QVERIFY(writeZip(root + "/a/pair.zip", {"Pair.mp3", "Pair.cdg"}));
    QVERIFY(writeZip(root + "/a/lonely.zip", {"Pair.mp3", "Other.cdg"}));
    QVERIFY(Mp3Fixtures::writeFile(root + "/damaged.mp3", QByteArray(5000, 'x')));
    QVERIFY(Mp3Fixtures::writeFile(root + "/empty.mp3", {}));
    QVERIFY(writeSong(root + "/a/locked.mp3", {"Locked", "", ""}));
    QVERIFY(::chmod(QFile::encodeName(root + "/a/locked.mp3"), 0) == 0);
    QVERIFY(::mkfifo(QFile::encodeName(root + "/fifo.mp3"), 0600) == 0);
    QVERIFY(QFile::link(root + "/nowhere.mp3", root + "/dangling.mp3"));
    QVERIFY(QFile::link(root + "/a", root + "/a/b/loop"));
    QVERIFY(QFile::link(".", root + "/a/b/c/self"));

    const QString database = dir.filePath("tree.sqlite");
    LibraryIndex index(database);
    QVERIFY(index.addFolder(root));
    const LibraryScanner::Summary summary = scan(database, index.folders());
    std::set<QString> expected = {"Deep", "Top", "さくら", "pair"};
    if (::geteuid() == 0)
        expected.insert("Locked"); // nothing is unreadable to root
    const QList<LibrarySong> songs = index.search({}, 100);
    std::set<QString> titles;
    for (const LibrarySong &song : songs) {
        titles.insert(song.title);
        QCOMPARE(song.hasLyrics, song.title == "さくら");
        QCOMPARE(song.hasGraphics, song.title == "Deep" || song.title == "pair");
        QCOMPARE(index.song(song.id)->path, song.path);
    }
    QCOMPARE(QStringList(titles.begin(), titles.end()).join('|'),
             QStringList(expected.begin(), expected.end()).join('|'));
    QCOMPARE(summary.added, int(expected.size()));
    QCOMPARE(index.songAt(root + "/a/b/c/Some One - Deep.mp3")->artist, QString("Some One"));
}

void TestLibrary::rescanPicksUpChanges()
{
    const QString root = dir.filePath("changes"), database = dir.filePath("changes.sqlite");
    QVERIFY(QDir().mkpath(root + "/sub"));
    QVERIFY(writeSong(root + "/one.mp3", {"One", "", ""}));
    QVERIFY(writeSong(root + "/sub/two.mp3", {"Two", "", ""}));
    LibraryIndex index(database);
    QVERIFY(index.addFolder(root));
    QCOMPARE(scan(database, index.folders()).added, 2);

    const auto step = [&](const char *what, auto change, int added, int updated, int removed) {
        change();
        const LibraryScanner::Summary summary = scan(database, index.folders());
        QVERIFY2(summary.added == added && summary.updated == updated && summary.removed == removed,
                 qPrintable(QString("%1: %2 added, %3 updated, %4 removed").arg(what)
                                .arg(summary.added).arg(summary.updated).arg(summary.removed)));
    };
    step("nothing changed", [] {}, 0, 0, 0);
    step("a song added", [&] { writeSong(root + "/sub/three.mp3", {"Three", "", ""}); }, 1, 0, 0);
    step("a tag changed", [&] { tag(root + "/one.mp3", {"Uno", "", ""}); }, 0, 1, 0);
    step("a song deleted", [&] { QFile::remove(root + "/sub/two.mp3"); }, 0, 0, 1);
    step("lyrics put beside", [&] { Mp3Fixtures::writeFile(root + "/sub/three.lrc", "x"); }, 0, 1, 0);
    QCOMPARE(found(index, {}), QStringList({"Three", "Uno"}));
    QVERIFY(index.songAt(root + "/sub/three.mp3")->hasLyrics);
    QVERIFY(index.removeFolder(root));
    QCOMPARE(found(index, {}), QStringList());
}

void TestLibrary::search_data()
{
    const QString database = dir.filePath("search.sqlite");
    {
        LibraryDatabase db(database);
        LibraryScanner scanner(db);
        const QList<QStringList> songs = {
            {"Bohemian Rhapsody", "Queen", "A Night at the Opera", "queen-bohemian"},
            {"Je ne regrette rien", "Édith Piaf", "", "piaf"},
            {"ＦＵＬＬ ＷＩＤＴＨ", "Ａｒｔｉｓｔ", "", "fw"},
            {"千と千尋の神隠し", "木村弓", "", "sen"},
            {"夜に駆ける", "YOASOBI", "", "yoru"},
            {"Rhapsody in Blue", "Gershwin", "", "blue"},
            {"Sakura", "", "", "karaoke_track_0042"},
            {"사랑해", "", "", "k"}};
        db.connection().transaction();
        for (const QStringList &song : songs) {
            SongFacts facts;
            facts.title = song[0], facts.artist = song[1], facts.album = song[2];
            QVERIFY(scanner.addSong({"/m/" + song[3] + ".mp3"}, facts));
        }
        db.connection().commit();
    }
    QTest::addColumn<QString>("words");
    QTest::addColumn<QStringList>("titles");
    const QStringList rhapsodies = {"Bohemian Rhapsody", "Rhapsody in Blue"};
    QTest::addRow("two words") << "queen rhapsody" << QStringList{"Bohemian Rhapsody"};
    QTest::addRow("any order") << "rhapsody QUEEN" << QStringList{"Bohemian Rhapsody"};
    QTest::addRow("prefix") << "rhap" << rhapsodies;
    QTest::addRow("prefixes of both") << "boh rha" << QStringList{"Bohemian Rhapsody"};
    QTest::addRow("case") << "RHAPSODY" << rhapsodies;
    QTest::addRow("accent not typed") << "edith" << QStringList{"Je ne regrette rien"};
    QTest::addRow("accent typed") << "piaf régrette" << QStringList{"Je ne regrette rien"};
    QTest::addRow("full width stored") << "full width artist" << QStringList{"ＦＵＬＬ ＷＩＤＴＨ"};
    QTest::addRow("full width typed") << "ｗｉｄ" << QStringList{"ＦＵＬＬ ＷＩＤＴＨ"};
    QTest::addRow("kanji inside") << "千尋" << QStringList{"千と千尋の神隠し"};
    QTest::addRow("kana and kanji") << "神隠し" << QStringList{"千と千尋の神隠し"};
    QTest::addRow("latin and CJK") << "yoasobi 駆け" << QStringList{"夜に駆ける"};
    QTest::addRow("hangul inside") << "랑해" << QStringList{"사랑해"};
    QTest::addRow("CJK out of order") << "尋千" << QStringList{};
    QTest::addRow("album") << "opera night" << QStringList{"Bohemian Rhapsody"};
    QTest::addRow("file name") << "karaoke 0042" << QStringList{"Sakura"};
    QTest::addRow("one word missing") << "rhapsody opera blue" << QStringList{};
    QTest::addRow("query syntax typed") << "\"rhap* -(" << rhapsodies;
    QTest::addRow("only punctuation") << "*)(\"" << QStringList{};
}

void TestLibrary::search()
{
    QFETCH(QString, words);
    QFETCH(QStringList, titles);
    const LibraryIndex index(dir.filePath("search.sqlite"));
    QCOMPARE(found(index, words), titles);
}

void TestLibrary::damagedDatabaseIsRebuilt_data()
{
    // share of the file kept; -1: overwritten with text; -2: pages in its middle overwritten
    QTest::addColumn<double>("kept");
    QTest::addColumn<bool>("movedAside");
    QTest::addRow("truncated early") << 0.1 << true;
    QTest::addRow("truncated in half") << 0.5 << true;
    QTest::addRow("not a database") << -1.0 << true;
    QTest::addRow("pages overwritten") << -2.0 << true;
    QTest::addRow("emptied") << 0.0 << false;
}

void TestLibrary::damagedDatabaseIsRebuilt()
{
    QFETCH(double, kept);
    QFETCH(bool, movedAside);
    const QString root = dir.filePath("damage"), database = dir.filePath("damage.sqlite");
    QDir().mkpath(root);
    for (int i = 0; i < 200; ++i)
        QVERIFY(writeSong(root + QString("/song %1.mp3").arg(i), {QString("Song %1").arg(i), "", ""}, 2));
    QFile::remove(database);
    LibraryIndex(database).addFolder(root);
    QCOMPARE(scan(database, {root}).songs, 200);
    QFile file(database);
    if (kept >= 0) {
        QVERIFY(file.resize(qint64(file.size() * kept)));
    } else {
        QVERIFY(file.open(kept == -1 ? QIODevice::WriteOnly : QIODevice::ReadWrite));
        QVERIFY(file.seek(kept == -1 ? 0 : file.size() / 2));
        file.write(QByteArray(kept == -1 ? 20000 : 8192, 'x'));
        file.close();
    }
    QFile::remove(database + ".damaged");
    LibraryIndex index(database);
    index.search("song", 10); // may find nothing, must not crash
    QCOMPARE(scan(database, LibraryDatabase::folders(database)).songs, 200);
    QCOMPARE(QFile::exists(database + ".damaged"), movedAside);
    index.reopen();
    QCOMPARE(index.search("song 42", 10).size(), 1);
}

void TestLibrary::loudness_data()
{
    QTest::addColumn<double>("amplitude");
    QTest::addColumn<Tags>("tags");
    QTest::addColumn<int>("measured");
    QTest::addColumn<bool>("atTarget"); // else: limited so the peak stays at full scale
    // A 1 kHz tone at 0.25 of full scale in both channels measures about -12 LUFS.
    QTest::addRow("ReplayGain tag") << 0.25 << Tags{"t", "", "", "-6.00 dB"} << 0 << true;
    QTest::addRow("RVA2 frame") << 0.25 << Tags{"t", "", "", "", -6.0} << 0 << true;
    QTest::addRow("measured") << 0.25 << Tags{} << 1 << true;
    QTest::addRow("measured, quiet") << 0.08 << Tags{} << 1 << true;
    QTest::addRow("measured, would clip") << 0.9 << Tags{} << 1 << true;
    // A tag that raises the level without a peak: the peak is measured.
    QTest::addRow("tag asks for clipping") << 0.5 << Tags{"t", "", "", "+9 dB"} << 1 << false;
}

void TestLibrary::loudness()
{
    QFETCH(double, amplitude);
    QFETCH(Tags, tags);
    QFETCH(int, measured);
    QFETCH(bool, atTarget);
    const QString root = dir.filePath(QString("loud-%1").arg(QTest::currentDataTag()));
    const QString database = root + ".sqlite", song = root + "/tone.mp3";
    QDir().mkpath(root);
    Mp3Fixtures::Sine tone;
    tone.frequency = 1000, tone.amplitude = amplitude, tone.seconds = 4;
    QVERIFY(Mp3Fixtures::writeSine(song, tone) && (tags.title.isEmpty() || tag(song, tags)));
    QCOMPARE(scan(database, {root}, true).measured, measured);

    const LibraryIndex index(database);
    const double gain = index.loudnessGain(song);
    const auto heard = LoudnessMeter::measure(song, gain);
    QVERIFY(heard);
    if (atTarget)
        QVERIFY2(std::abs(heard->lufs - LoudnessMeter::targetLufs) < 1.0,
                 qPrintable(QString("%1 LUFS at gain %2").arg(heard->lufs).arg(gain)));
    else
        QVERIFY2(heard->peak <= 1.0 && heard->peak > 0.98, qPrintable(QString::number(heard->peak)));
    QVERIFY(index.loudnessGain(root + "/unknown.mp3") == 1.0);
}

// Typing searches at once; Return plays the first song found.
void TestLibrary::windowPlaysWhatIsFound()
{
    LibraryWindow window(dir.filePath("search.sqlite"));
    QSignalSpy play(&window, &LibraryWindow::playRequested);
    window.show();
    auto *field = window.findChild<QLineEdit *>();
    QTest::keyClicks(field, "bohemian");
    QTest::keyClick(field, Qt::Key_Return);
    QCOMPARE(play.size(), 1);
    QCOMPARE(play[0][0].toString(), QString("/m/queen-bohemian.mp3"));
}

QTEST_MAIN(TestLibrary)
#include "tst_library.moc"
