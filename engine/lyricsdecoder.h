#ifndef LYRICSDECODER_H
#define LYRICSDECODER_H

#include "kwo_imcx.h"
#include "recursivemutex.h"

#include <QList>
#include <QMultiHash>
#include <QObject>
#include <QString>

#include <memory>

class LyricsData;
struct ContentStamp;

// Turns the content stamps of one song into lyrics pages: feeds each due stamp's two bytes to
// the content decoder library, keeps a LyricsData snapshot per frame that changed the page and
// announces it with LyricsChanged. The snapshots let a rewind show any earlier frame's page.
//
// GUI thread only. LyricsChanged is emitted with the lock held and delivered synchronously.
class LyricsDecoder : public QObject, public IMCXGuiSink
{
    Q_OBJECT

public:
    explicit LyricsDecoder(const QString &fileName, QList<ContentStamp *> *contentList,
                           QObject *parent = nullptr);
    ~LyricsDecoder() override;

    // Feeds every stamp due before now (MonotonicClock ms), in list order, deleting each;
    // returns the frame number of the stamp processed last.
    qint32 processDue();
    qint32 processDue(qint64 now);
    // Announces the newest snapshot stored under exactly frame, if any, display switch or not.
    // Up to a frame sought to, the snapshots are made the first time one is asked for.
    void showFrame(qint32 frame);
    // The lyrics as playing through frame would have left them, at a cost that does not grow with
    // frame: the content library is put there without being fed the frames before it. The
    // lyrics there become the newest snapshot, not announced.
    void seekTo(qint32 frame);
    // Announces the newest snapshot, display switch or not.
    void announceCurrent();
    void setDisplayEnabled(bool enabled);

    // IMCXGuiSink: called by the library inside processDue, which holds the lock.
    void showText(const char16_t *text) override;
    int32_t setHighlight(int32_t start, int32_t length) override;

signals:
    void LyricsChanged(LyricsData *lyrics);

private:
    // Stores (and, with the display on, announces) the page under construction as frame's.
    void storeSnapshot(qint32 frame);
    // The snapshots of the frames below the one sought to, from the content library.
    void makeHistory();
    void noteHistoryFrame(qint32 frame);

    RecursiveMutex mutex; // recursive, like every engine lock
    // frame number -> snapshots, owned; a repeated number keeps the older entry, value() finds
    // the newest
    QMultiHash<qint32, LyricsData *> snapshots;
    QString text; // the page under construction
    qint32 highlightStart = 0;
    qint32 highlightEnd = 0;
    qint32 currentFrame = 0; // frame number of the stamp processed last
    LyricsData *current = nullptr; // the newest snapshot
    std::unique_ptr<LyricsData> sought; // the lyrics where the song was sought to
    qint32 soughtFrame = 0;        // the frames up to it have no snapshots yet
    qint32 historyFrame = -1;      // while making the history: the frame the library tells of
    bool pageChanged = false;
    bool decoderReady = false;
    bool displayEnabled = true;
    QList<ContentStamp *> *contentList = nullptr; // the engine's, not owned
};

#endif
