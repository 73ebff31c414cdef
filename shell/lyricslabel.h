#ifndef LYRICSLABEL_H
#define LYRICSLABEL_H

#include "pagelayers.h"
#include "pagelayout.h"
#include "stagecues.h"
#include "stagesong.h"

#include <QFutureWatcher>
#include <QLabel>
#include <QPixmap>
#include <QTimer>

#include <functional>

class LyricsData;
class LyricsScreenPainter;
class QPainter;

// The main window's central widget: the current lyrics page centred on the background colour,
// the sung part in the highlight colour and the rest in the normal colour, in the lyrics font
// shrunk until the page fits, or, fitted to the window, as large as fits. The picture is drawn for
// the area inside the frame at the screen's pixel density, again whenever the label is resized.
// Each drawing goes into the pixmap not on show and then replaces the shown one, so a half-drawn
// page is never visible. Colours and font are read from the preferences at every drawing.
//
// It is also the stage: with no song it says how to open one; for a song it shows the title card
// during the introduction, the coming page dimmed with a countdown before the singing starts or
// resumes, "No lyrics for this song" for a song without, "Next: ..." between songs, cards others
// put up, and short notices in a corner. Nothing runs while nothing changes: a one-shot timer
// only while a cue or notice is under way. GUI thread only.
class LyricsLabel : public QLabel
{
    Q_OBJECT

public:
    explicit LyricsLabel(QWidget *parent = nullptr, Qt::WindowFlags flags = {});
    explicit LyricsLabel(const QString &text, QWidget *parent = nullptr,
                         Qt::WindowFlags flags = {});
    ~LyricsLabel() override;

    // The song the stage is for; empty: none. Its tag and lyrics are read off the GUI thread;
    // songRead() follows. The same song again keeps what was read. Clears "Next: ...".
    void setSong(const QString &songPath);
    // The moment of the song being heard, in ms; the cues follow it like the highlight does.
    // Cheap when the picture stays the same.
    void setPlayPosition(qint64 ms);
    // Asked for the moment heard (ms, or -1) when a countdown moves on between two
    // setPlayPosition() calls.
    void setPositionSource(std::function<qint64()> source);
    // "Next: title" until setSong().
    void showNext(const QString &title);
    // A card with title and subtitle in place of the page until clearCard().
    void showCard(const QString &title, const QString &subtitle);
    void clearCard();
    // text in a corner for about 1.5 s, over everything else.
    void showNotice(const QString &text);
    // The page as large as fits the area (about 90 % of its width and 80 % of its height) instead
    // of the lyrics font shrunk until it fits.
    void setFitToWindow(bool fit);
    bool fitsToWindow() const { return fit; }
    // Asked first at every drawing; when it paints, no page or card is drawn. Not owned; null
    // for none. It must outlive the label or be taken away first.
    void setScreenPainter(LyricsScreenPainter *painter);

public slots:
    // Draws data (none: the stage without a page) and keeps it for later redraws. The page must
    // stay valid until the next call; the main window passes none before the engine that owns
    // the page goes.
    void ScreenRedraw(LyricsData *data);
    // Draws the page last given again, e.g. after the font or colours changed.
    void ScreenRedraw();

signals:
    // The lyrics were double-clicked: the main window shows them alone on the whole screen.
    void doubleClicked();
    // The song given to setSong() has been read: its title card and cues are known.
    void songRead();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    void setUp();
    void songWasRead();
    StageCues::Moment moment() const;
    void armCueTimer();
    void cueTimerFired();
    void drawStage(QPainter &painter, const QRect &area);
    void drawCue(QPainter &painter, const QRect &area, const StageCues::Cue &cue, int marks);
    const PageLayout &layoutFor(const QString &text, const QSize &area, const QPaintDevice *device);
    void drawPage(QPainter &painter, const QString &page, int highlightStart, int highlightEnd,
                  const PageLayout &layout, const QColor &normal, const QColor &highlight);
    QPixmap &preparedBackPixmap(const QColor &background);
    void makeNextLayer();

    LyricsData *currentData = nullptr; // not owned
    QPixmap pixmaps[2];                // reused; one is on show, the other is drawn next
    int back = 0;                      // index of the one drawn next

    // The last layout, kept while the page, font, area, density and mode stay the same.
    struct CachedLayout
    {
        QString text;
        QFont font;
        QSize area;
        qreal ratio = 0;
        bool fit = false;
        PageLayout layout;
    } cached;
    PageLayers layers; // the fitted page's large letters, drawn once per colour

    bool fit = false;
    StageSong song;           // what was read of the song; song.path "" before
    QString songPath;         // the song given; "" for none
    bool songKnown = false;   // song holds what was read of songPath
    QFutureWatcher<StageSong> songReader;
    qint64 positionMs = 0;
    std::function<qint64()> positionSource;
    StageCues::Moment drawnMoment;
    QTimer cueTimer;  // one shot, for the next change of a cue under way
    QString nextTitle;
    QString cardTitle; // null: no card
    QString cardSubtitle;
    QString noticeText;
    QTimer noticeTimer; // one shot, takes the notice away
    LyricsScreenPainter *screenPainter = nullptr; // not owned
};

#endif // LYRICSLABEL_H
