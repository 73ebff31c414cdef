#ifndef CDGVIEW_H
#define CDGVIEW_H

#include <QImage>
#include <QString>
#include <QWidget>

#include <memory>

class CdgSong;

// The CD+G graphics of the song playing, laid over the lyrics display: the 300 x 216 screen
// scaled to fill the display with its aspect kept, smoothly or with sharp pixels, the rest in the
// border colour. It follows the frame being heard and repaints only what a packet changed, so it
// costs nothing while the picture stands still. Hidden when the song has no graphics or they are
// switched off (the lyrics page then shows as before). Mouse events go through to the display
// beneath. The two View options live in the second settings file. GUI thread only.
class CdgView : public QWidget
{
    Q_OBJECT

public:
    static constexpr const char *showKey = "showGraphics";     // bool, default true
    static constexpr const char *smoothKey = "smoothGraphics"; // bool, default true

    // Covers display's contents and follows its size.
    explicit CdgView(QWidget *display);
    ~CdgView() override;

    // Finds and reads the graphics of song (beside it, or in its archive) on a thread of their
    // own, and shows their first screen once read; the graphics of the same song as before are
    // not read again and stay where they stand until the next frame is shown.
    void setSong(const QString &song);
    // Brings the picture to the packets heard by the start of frame.
    void showFrame(int frame);
    bool hasGraphics() const { return graphics != nullptr; }
    // Where the screen is drawn, in the view's coordinates.
    QRect pictureArea() const;

public slots:
    // Takes the two View options from the settings again.
    void readOptions();

protected:
    void paintEvent(QPaintEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void followDisplay();
    void updateVisibility();
    void takePicture();

    QWidget *display = nullptr; // the parent
    std::unique_ptr<CdgSong> graphics;
    QString songPath; // the song the graphics belong to
    int generation = 0; // counts the songs given, so that a late reading of another is dropped
    bool reading = false;
    QImage picture; // the screen in Format_RGB32, remade when a packet changed it
    QRgb borderColor = 0xff000000;
    bool shown = true;
    bool smooth = true;
};

#endif // CDGVIEW_H
