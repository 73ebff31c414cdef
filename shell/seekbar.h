#ifndef SEEKBAR_H
#define SEEKBAR_H

#include <QList>
#include <QTimer>
#include <QWidget>

class QAction;
class QLabel;
class QSlider;
class QWheelEvent;

// The place in the song: a slider over the song's frames with the time heard on its left and the
// time left ("-m:ss") on its right. A click jumps there; a drag shows the time it would go to and
// seeks on release, and also whenever the pointer rests a moment on the way; the wheel moves 5 s
// a notch. The keys Left/Right (5 s), Shift+Left/Shift+Right (30 s) and Home (the start) are
// actions for the window to take up, so they work wherever the focus is. The bar only asks for
// seeks; whoever holds the song carries them out and reports the place back with follow().
// Disabled while no song is loaded. GUI thread only.
class SeekBar : public QWidget
{
    Q_OBJECT

public:
    static constexpr int smallStepMs = 5000;
    static constexpr int largeStepMs = 30000;
    // How long the pointer rests during a drag before the place under it is sought.
    static constexpr int dragRestMs = 150;

    explicit SeekBar(QWidget *parent = nullptr);

    // The song's length in frames; 0 when no song is loaded, which disables the bar and its keys.
    void setLength(int frames);
    int length() const { return songLength; }
    // The place shown, in frames heard before it (0 at the start).
    int place() const;
    // The keys, for the window to add: Left, Right, Shift+Left, Shift+Right, Home.
    QList<QAction *> keyActions() const { return keys; }

public slots:
    // The place heard, in frames; ignored while the handle is held.
    void follow(int frames);
    // Moves ms (negative: back) from the place shown and asks for the seek.
    void stepBy(int ms);

signals:
    // Go to the place frames into the song (frames heard before it), within 0..length.
    void seekRequested(int frames);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;

private:
    void addKey(const QKeySequence &keys, int ms);
    void showPlace(int frames);
    void requestSeek(int frames);
    // A press on the groove puts the handle under the pointer, where the slider then drags it.
    void jumpToPointer(const QPoint &at);

    QSlider *slider = nullptr;
    QLabel *elapsedLabel = nullptr;
    QLabel *remainingLabel = nullptr;
    QList<QAction *> keys;
    QTimer dragRest{this};
    int songLength = 0;
    int lastRequested = -1; // the place last asked for, until the song is heard elsewhere
    int wheelRest = 0;      // eighths of a degree not yet turned into a step
};

#endif // SEEKBAR_H
