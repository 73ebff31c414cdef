#ifndef LYRICSLABEL_H
#define LYRICSLABEL_H

#include <QFont>
#include <QLabel>
#include <QList>
#include <QPixmap>

class LyricsData;
class QFontMetrics;
class QPaintDevice;
class QPainter;

// The main window's central widget: the current lyrics page centred on the background colour,
// the sung part in the highlight colour and the rest in the normal colour, in the lyrics font
// shrunk until the page fits. The picture is drawn for the area inside the frame at the screen's
// pixel density, again whenever the label is resized. Each drawing goes into the pixmap not on
// show and then replaces the shown one, so a half-drawn page is never visible. Colours and font
// are read from the preferences at every drawing. GUI thread only.
class LyricsLabel : public QLabel
{
    Q_OBJECT

public:
    explicit LyricsLabel(QWidget *parent = nullptr, Qt::WindowFlags flags = {});
    explicit LyricsLabel(const QString &text, QWidget *parent = nullptr,
                         Qt::WindowFlags flags = {});

public slots:
    // Draws data (none: a plain background) and keeps it for later redraws. The page must stay
    // valid until the next call; the main window passes none before the engine that owns the
    // page goes.
    void ScreenRedraw(LyricsData *data);
    // Draws the page last given again, e.g. after the font or colours changed.
    void ScreenRedraw();

signals:
    // The lyrics were double-clicked: the main window shows them alone on the whole screen.
    void doubleClicked();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    // [start, end) of the page's text; the character at end, if a line feed or a space the
    // fitting turned into a break, is not drawn.
    struct Line
    {
        int start = 0;
        int end = 0;
        int width = 0;
        int x = 0;
        int baseline = 0;
    };
    struct PageLayout
    {
        QFont font;
        QList<Line> lines;
    };

    void setUp();
    static PageLayout layOut(const QString &pageText, QFont font, QSize area,
                             const QPaintDevice *device);
    static void placeLines(QList<Line> &lines, int spacing, QSize area);
    static bool shrink(QFont &font);
    static QList<Line> splitLines(const QString &text, const QList<bool> &breaksBefore);
    static bool breakLine(QString &text, QList<bool> &breaksBefore, const Line &line,
                          const QFontMetrics &metrics, int width);
    void drawPage(QPainter &painter, const LyricsData &data, const PageLayout &layout,
                  const QColor &normal, const QColor &highlight) const;
    QPixmap &preparedBackPixmap(const QColor &background);

    LyricsData *currentData = nullptr; // not owned
    QPixmap pixmaps[2];                // reused; one is on show, the other is drawn next
    int back = 0;                      // index of the one drawn next
};

#endif // LYRICSLABEL_H
