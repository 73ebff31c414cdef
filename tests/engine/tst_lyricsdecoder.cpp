#include "contentstamp.h"
#include "contentstream.h"
#include "contenttimeline.h"
#include "lyricsdata.h"
#include "lyricsdecoder.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace ContentTimeline;

namespace {

// The engine's queue: frames from..to of a stream, frame f due at f * 10 ms.
void queueFrames(QList<ContentStamp *> &list, const ContentStream &stream, qint32 from, qint32 to)
{
    for (qint32 frame = from; frame <= to; ++frame) {
        auto *stamp = new ContentStamp;
        stamp->frameNumber = frame;
        stream.frameBytes(frame, stamp->content);
        stamp->dueTime = frame * 10;
        list.append(stamp);
    }
}

QString describe(const LyricsData *lyrics)
{
    return QStringLiteral("\"%1\" %2-%3")
        .arg(lyrics->text)
        .arg(lyrics->highlightStart)
        .arg(lyrics->highlightEnd);
}

// Every snapshot a decoder announces, with the frame it was processing.
class Announcements : public QObject
{
public:
    explicit Announcements(LyricsDecoder *decoder)
    {
        connect(decoder, &LyricsDecoder::LyricsChanged, this,
                [this](LyricsData *lyrics) { seen << describe(lyrics); });
    }
    QStringList seen;
};

const ContentStream twoPages =
    ContentStream::encode({page(300, "Hello\nworld"), wipe(400, 5), wipe(500, 11),
                           page(900, "Ωμέγα"), wipe(900, 2), wipe(1000, 5)});

} // namespace

class TestLyricsDecoder : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void stampDueNowWaits();
    void pagesFollowTheStamps();
    void pageWithItsWipeIsOneSnapshot();
    void showFrameZeroShowsTheEmptyPage();
    void repeatedFrameNumberFindsTheNewest();
    void displaySwitchOffAnnouncesNothing();
    void restartAtAFrameShowsWhatPlayingThroughShowed();
    void songWithoutLyricsStillMoves();

private:
    QTemporaryDir dir;
    QString song;
    QList<ContentStamp *> list;
};

void TestLyricsDecoder::initTestCase()
{
    // Lyrics beside the song make the content library ready; the stamps carry our own stream.
    QVERIFY(dir.isValid());
    song = dir.filePath("song.mp3");
    QFile lrc(dir.filePath("song.lrc"));
    QVERIFY(lrc.open(QIODevice::WriteOnly));
    lrc.write("[00:00.50]la la la\n[00:02.00]la\n");
    lrc.close();
    QFile mp3(song);
    QVERIFY(mp3.open(QIODevice::WriteOnly));
}

void TestLyricsDecoder::cleanup()
{
    qDeleteAll(list);
    list.clear();
}

void TestLyricsDecoder::stampDueNowWaits()
{
    LyricsDecoder decoder(song, &list);
    queueFrames(list, twoPages, 1, 3);
    QCOMPARE(decoder.processDue(10), 0); // frame 1 falls due at 10: not yet
    QCOMPARE(list.size(), 3);
    QCOMPARE(decoder.processDue(11), 1);
    QCOMPARE(decoder.processDue(30), 2);
    QCOMPARE(list.size(), 1);
    QCOMPARE(list.first()->frameNumber, 3);
}

void TestLyricsDecoder::pagesFollowTheStamps()
{
    LyricsDecoder decoder(song, &list);
    Announcements shown(&decoder);
    queueFrames(list, twoPages, 1, twoPages.frameCount() + 5);
    QCOMPARE(decoder.processDue(1'000'000), twoPages.frameCount() + 5);
    QVERIFY(list.isEmpty());
    QCOMPARE(shown.seen, (QStringList{"\"Hello\nworld\" 0-0", "\"Hello\nworld\" 0-5",
                                      "\"Hello\nworld\" 0-11", "\"Ωμέγα\" 0-2", "\"Ωμέγα\" 0-5"}));
}

void TestLyricsDecoder::pageWithItsWipeIsOneSnapshot()
{
    LyricsDecoder decoder(song, &list);
    Announcements shown(&decoder);
    const qint32 pageFrame = twoPages.events()[3].frame;
    queueFrames(list, twoPages, 1, pageFrame - 1);
    decoder.processDue(1'000'000);
    shown.seen.clear();
    queueFrames(list, twoPages, pageFrame, pageFrame);
    decoder.processDue(1'000'000);
    QCOMPARE(shown.seen, QStringList{"\"Ωμέγα\" 0-2"});
}

void TestLyricsDecoder::showFrameZeroShowsTheEmptyPage()
{
    LyricsDecoder decoder(song, &list);
    Announcements shown(&decoder);
    queueFrames(list, twoPages, 1, twoPages.frameCount());
    decoder.setDisplayEnabled(false);
    decoder.processDue(1'000'000);
    decoder.showFrame(0);
    decoder.showFrame(twoPages.events()[0].frame);
    decoder.showFrame(twoPages.events()[0].frame + 1); // nothing changed there: nothing shown
    QCOMPARE(shown.seen, (QStringList{"\"\" 0-0", "\"Hello\nworld\" 0-0"}));
}

void TestLyricsDecoder::repeatedFrameNumberFindsTheNewest()
{
    // Slots that held no frame arrive as frame number 0: their snapshots land on the default.
    LyricsDecoder decoder(song, &list);
    queueFrames(list, twoPages, 1, twoPages.events()[2].frame);
    for (ContentStamp *stamp : std::as_const(list))
        stamp->frameNumber = 0;
    decoder.processDue(1'000'000);
    Announcements shown(&decoder);
    decoder.showFrame(0);
    QCOMPARE(shown.seen, QStringList{"\"Hello\nworld\" 0-11"});
}

void TestLyricsDecoder::displaySwitchOffAnnouncesNothing()
{
    LyricsDecoder decoder(song, &list);
    Announcements shown(&decoder);
    decoder.setDisplayEnabled(false);
    queueFrames(list, twoPages, 1, twoPages.frameCount());
    decoder.processDue(1'000'000);
    QCOMPARE(shown.seen, QStringList());
    decoder.setDisplayEnabled(true);
    decoder.showFrame(twoPages.events()[1].frame); // the snapshots were kept all the same
    QCOMPARE(shown.seen, QStringList{"\"Hello\nworld\" 0-5"});
}

void TestLyricsDecoder::restartAtAFrameShowsWhatPlayingThroughShowed()
{
    // Playing through, and a new engine that decodes frames 1..N-1 unseen and plays from N,
    // must announce the same pages from frame N on.
    const qint32 last = twoPages.frameCount() + 2;
    for (qint32 start : {2, twoPages.events()[1].frame, twoPages.events()[3].frame - 3}) {
        QStringList through;
        {
            LyricsDecoder decoder(song, &list);
            Announcements shown(&decoder);
            queueFrames(list, twoPages, 1, start - 1);
            decoder.processDue(1'000'000);
            shown.seen.clear();
            queueFrames(list, twoPages, start, last);
            decoder.processDue(1'000'000);
            through = shown.seen;
        }
        LyricsDecoder decoder(song, &list);
        Announcements shown(&decoder);
        decoder.setDisplayEnabled(false);
        queueFrames(list, twoPages, 1, start - 1);
        decoder.processDue(1'000'000);
        decoder.setDisplayEnabled(true);
        queueFrames(list, twoPages, start, last);
        decoder.processDue(1'000'000);
        QCOMPARE(shown.seen, through);
    }
}

void TestLyricsDecoder::songWithoutLyricsStillMoves()
{
    QTest::ignoreMessage(QtWarningMsg, "UNABLE TO INITALIZE IMCX stuff!");
    LyricsDecoder decoder(dir.filePath("silent.mp3"), &list);
    Announcements shown(&decoder);
    queueFrames(list, twoPages, 1, 40);
    QCOMPARE(decoder.processDue(1'000'000), 40);
    QVERIFY(list.isEmpty());
    QCOMPARE(shown.seen, QStringList());
}

QTEST_GUILESS_MAIN(TestLyricsDecoder)
#include "tst_lyricsdecoder.moc"
