#include "lyricslabel.h"

#include "lyricsdata.h"
#include "lyricsscreenpainter.h"
#include "preferences.h"
#include "stagepainter.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPromise>
#include <QThreadPool>

#include <memory>

namespace {

constexpr int noticeMs = 1500;

} // namespace

LyricsLabel::LyricsLabel(QWidget *parent, Qt::WindowFlags flags) : QLabel(parent, flags)
{
    setUp();
}

LyricsLabel::LyricsLabel(const QString &text, QWidget *parent, Qt::WindowFlags flags)
    : QLabel(text, parent, flags)
{
    setUp();
}

LyricsLabel::~LyricsLabel() = default;

void LyricsLabel::setUp()
{
    const Preferences *preferences = Preferences::Instance();
    resize(preferences->mainWindowWidth(), preferences->mainWindowHeight());
    setFrameStyle(QFrame::Panel);
    setAlignment(Qt::AlignCenter);
    // The picture follows the label's size, never the other way round: a label would otherwise
    // ask for the size of the picture it shows, and the window could not shrink.
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    // The picture covers everything inside the frame, so the label paints no background first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    cueTimer.setSingleShot(true);
    connect(&cueTimer, &QTimer::timeout, this, &LyricsLabel::cueTimerFired);
    noticeTimer.setSingleShot(true);
    noticeTimer.setInterval(noticeMs);
    connect(&noticeTimer, &QTimer::timeout, this, [this] {
        noticeText.clear();
        ScreenRedraw();
    });
    connect(&songReader, &QFutureWatcher<StageSong>::finished, this, &LyricsLabel::songWasRead);
    ScreenRedraw(nullptr);
}

void LyricsLabel::setSong(const QString &songPath)
{
    nextTitle.clear();
    positionMs = 0;
    if (songPath != this->songPath || !songKnown) {
        this->songPath = songPath;
        song = StageSong();
        songKnown = false;
        if (!songPath.isEmpty()) {
            auto promise = std::make_shared<QPromise<StageSong>>();
            songReader.setFuture(promise->future());
            promise->start();
            QThreadPool::globalInstance()->start([promise, songPath] {
                promise->addResult(StageSong::read(songPath));
                promise->finish();
            });
        }
    }
    ScreenRedraw();
}

void LyricsLabel::songWasRead()
{
    if (songReader.future().resultCount() == 0)
        return;
    StageSong read = songReader.result();
    if (read.path != songPath)
        return; // a song given since
    song = std::move(read);
    songKnown = true;
    ScreenRedraw();
    armCueTimer();
    emit songRead();
}

void LyricsLabel::setPlayPosition(qint64 ms)
{
    positionMs = ms;
    if (moment() != drawnMoment)
        ScreenRedraw();
    armCueTimer();
}

void LyricsLabel::setPositionSource(std::function<qint64()> source)
{
    positionSource = std::move(source);
}

StageCues::Moment LyricsLabel::moment() const
{
    return songKnown ? song.cues.at(positionMs) : StageCues::Moment();
}

// Armed only for a song whose cues are under way or ahead of an introduction; once the position
// stops moving (paused, stopped) the timer is not armed again.
void LyricsLabel::armCueTimer()
{
    const StageCues::Moment now = moment();
    const qint64 next = song.cues.nextChangeAfter(positionMs);
    if (!songKnown || next < 0 || (now.cue < 0 && !now.introduction)) {
        cueTimer.stop();
        return;
    }
    cueTimer.start(int(std::min<qint64>(next - positionMs, StageCues::leadInMs)));
}

void LyricsLabel::cueTimerFired()
{
    const qint64 heard = positionSource ? positionSource() : -1;
    if (heard < 0 || heard == positionMs)
        return; // not moving: the next setPlayPosition() takes it from here
    setPlayPosition(heard);
}

void LyricsLabel::showNext(const QString &title)
{
    nextTitle = title;
    ScreenRedraw();
}

void LyricsLabel::showCard(const QString &title, const QString &subtitle)
{
    cardTitle = title.isNull() ? QLatin1String("") : title;
    cardSubtitle = subtitle;
    ScreenRedraw();
}

void LyricsLabel::clearCard()
{
    cardTitle = QString();
    cardSubtitle.clear();
    ScreenRedraw();
}

void LyricsLabel::showNotice(const QString &text)
{
    noticeText = text;
    noticeTimer.start();
    ScreenRedraw();
}

void LyricsLabel::setFitToWindow(bool fit)
{
    if (this->fit == fit)
        return;
    this->fit = fit;
    ScreenRedraw();
}

void LyricsLabel::setScreenPainter(LyricsScreenPainter *painter)
{
    screenPainter = painter;
    ScreenRedraw();
}

void LyricsLabel::ScreenRedraw(LyricsData *data)
{
    currentData = data;
    ScreenRedraw();
}

void LyricsLabel::ScreenRedraw()
{
    const Preferences *preferences = Preferences::Instance();
    QPixmap &pixmap = preparedBackPixmap(preferences->backgroundColor());
    drawnMoment = moment();
    if (!pixmap.isNull()) {
        QPainter painter(&pixmap);
        const QRect area(QPoint(0, 0), contentsRect().size());
        if (!screenPainter || !screenPainter->paintScreen(painter, area))
            drawStage(painter, area);
        if (screenPainter)
            screenPainter->paintOverlay(painter, area);
        if (!noticeText.isEmpty()) {
            StagePainter(painter, area, preferences->lyricsFont(), preferences->normalColor(),
                         preferences->highlightColor(), preferences->backgroundColor())
                .notice(noticeText);
        }
    }
    setPixmap(pixmap);
    back = 1 - back;
}

// What the area shows, first match wins: a card put up, "Next: ...", the hint with no song and
// no page, the card of a song without lyrics, the title card in the introduction, a cue, the page.
void LyricsLabel::drawStage(QPainter &painter, const QRect &area)
{
    const Preferences *preferences = Preferences::Instance();
    StagePainter stage(painter, area, preferences->lyricsFont(), preferences->normalColor(),
                       preferences->highlightColor(), preferences->backgroundColor());
    const bool hasPage = currentData && !currentData->text.isEmpty();
    if (!cardTitle.isNull()) {
        stage.card(cardTitle, cardSubtitle);
    } else if (!nextTitle.isEmpty()) {
        stage.card(QStringLiteral("Next: ") + nextTitle, QString());
    } else if (songPath.isEmpty() && !hasPage) {
        stage.card(QStringLiteral("Vantrel Kivo Player"),
                   QStringLiteral("Open a song or a playlist (Ctrl+L), or drop one here"));
    } else if (songKnown && !song.hasLyrics) {
        stage.card(song.title, song.artist, QStringLiteral("No lyrics for this song"));
    } else if (drawnMoment.introduction) {
        stage.card(song.title, song.artist);
    } else if (drawnMoment.cue >= 0 &&
               !(hasPage && currentData->text == song.cues.cues().at(drawnMoment.cue).page &&
                 currentData->highlightEnd > 0)) {
        drawCue(painter, area, song.cues.cues().at(drawnMoment.cue), drawnMoment.marks);
    } else if (hasPage) {
        const PageLayout &layout = layoutFor(currentData->text, area.size(), painter.device());
        drawPage(painter, currentData->text, currentData->highlightStart,
                 currentData->highlightEnd, layout, preferences->normalColor(),
                 preferences->highlightColor());
    }
}

// The coming page dimmed and unsung, the countdown's marks above its first line.
void LyricsLabel::drawCue(QPainter &painter, const QRect &area, const StageCues::Cue &cue,
                          int marks)
{
    const Preferences *preferences = Preferences::Instance();
    StagePainter stage(painter, area, preferences->lyricsFont(), preferences->normalColor(),
                       preferences->highlightColor(), preferences->backgroundColor());
    const PageLayout &layout = layoutFor(cue.page, area.size(), painter.device());
    drawPage(painter, cue.page, 0, 0, layout, stage.dimmed(), stage.dimmed());
    if (marks <= 0 || layout.lines.isEmpty())
        return;
    const int top = layout.lines.first().baseline - int(0.7 * layout.lineSpacing);
    stage.countdown(marks, std::max(layout.lineSpacing / 4, top - layout.lineSpacing / 3),
                    layout.lineSpacing);
}

// The page keeps its layout while only the highlight moves.
const PageLayout &LyricsLabel::layoutFor(const QString &text, const QSize &area,
                                         const QPaintDevice *device)
{
    const QFont font = Preferences::Instance()->lyricsFont();
    const qreal ratio = device->devicePixelRatioF();
    if (cached.text != text || cached.font != font || cached.area != area ||
        !qFuzzyCompare(cached.ratio, ratio) || cached.fit != fit) {
        cached.text = text;
        cached.font = font;
        cached.area = area;
        cached.ratio = ratio;
        cached.fit = fit;
        cached.layout = fit ? PageLayout::fitted(text, font, area, device)
                            : PageLayout::shrunk(text, font, area, device);
    }
    return cached.layout;
}

// The picture is drawn for what the label shows, so it follows the label's size.
void LyricsLabel::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    ScreenRedraw();
}

// After a move to a screen of another pixel density the picture is drawn again for it first.
void LyricsLabel::paintEvent(QPaintEvent *event)
{
    if (!qFuzzyCompare(pixmap().devicePixelRatio(), devicePixelRatioF()))
        ScreenRedraw();
    QLabel::paintEvent(event);
}

void LyricsLabel::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        emit doubleClicked();
    QLabel::mouseDoubleClickEvent(event);
}

// The pixmap not on show, sized to the area inside the frame in device pixels (sharp text on
// high-density screens) and filled with the background. Reallocated only when that size changes.
QPixmap &LyricsLabel::preparedBackPixmap(const QColor &background)
{
    const qreal ratio = devicePixelRatioF();
    const QSize pixels = contentsRect().size().expandedTo(QSize(0, 0)) * ratio;
    QPixmap &pixmap = pixmaps[back];
    if (pixmap.size() != pixels)
        pixmap = QPixmap(pixels);
    pixmap.setDevicePixelRatio(ratio);
    if (!pixmap.isNull())
        pixmap.fill(background);
    return pixmap;
}

// The window's letters are drawn directly; the stage's large ones come from pictures of the page.
void LyricsLabel::drawPage(QPainter &painter, const QString &page, int highlightStart,
                           int highlightEnd, const PageLayout &layout, const QColor &normal,
                           const QColor &highlight)
{
    if (fit) {
        layers.draw(painter, page, layout, highlightStart, highlightEnd, normal, highlight,
                    Preferences::Instance()->backgroundColor());
        // A page not yet sung (or a cue's) soon needs the normal and highlight colours.
        if (highlightEnd == 0)
            QTimer::singleShot(0, this, &LyricsLabel::makeNextLayer);
    } else {
        PageLayers::drawText(painter, page, layout, highlightStart, highlightEnd, normal,
                             highlight);
    }
}

// One picture per turn of the event loop, so that input and sound are served in between.
void LyricsLabel::makeNextLayer()
{
    const Preferences *preferences = Preferences::Instance();
    if (layers.makeLayer(preferences->normalColor()) ||
        layers.makeLayer(preferences->highlightColor()))
        QTimer::singleShot(0, this, &LyricsLabel::makeNextLayer);
}
