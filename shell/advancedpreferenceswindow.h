#ifndef ADVANCEDPREFERENCESWINDOW_H
#define ADVANCEDPREFERENCESWINDOW_H

#include <QMainWindow>

class QCheckBox;
class QComboBox;
class QGridLayout;
class QLabel;
class QPushButton;
class QSlider;

// The options the menus do not reach: auto play, the screen-saver switch and the sound-buffer
// settings for the next song, with the decoder and output modules shown read-only. Built hidden
// with the main window; building it applies the screen-saver option. GUI thread only; the
// preferences store locks itself, so the window has no lock of its own.
class AdvancedPreferencesWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit AdvancedPreferencesWindow();

    // Sets the controls from the options and the buffer settings in effect.
    void refresh();
    // Stores the controls' values: the buffer values as those of the next song.
    void applyChanges();

private slots:
    void acceptButtonPressed();
    void cancelButtonPressed();

private:
    QLabel *addLabel(const QString &text, int row, const QString &toolTip = QString());
    QComboBox *addModuleBox(const QString &module, int row);
    QSlider *addSlider(int minimum, int maximum, int row, const QString &toolTip);
    void applyScreenSaver();

    QGridLayout *layout = nullptr;
    QCheckBox *autoPlayBox = nullptr;
    QCheckBox *screenSaverBox = nullptr;
    QLabel *mp3DecoderLabel = nullptr;
    QComboBox *mp3DecoderBox = nullptr;
    QLabel *interactiveMediaLabel = nullptr;
    QComboBox *interactiveMediaBox = nullptr;
    QLabel *soundOutputLabel = nullptr;
    QComboBox *soundOutputBox = nullptr;
    QLabel *bufferSettingsLabel = nullptr;
    QLabel *bufferSizeLabel = nullptr;
    QSlider *bufferSizeSlider = nullptr;
    QLabel *bufferCountLabel = nullptr;
    QSlider *bufferCountSlider = nullptr;
    QPushButton *acceptButton = nullptr;
    QPushButton *cancelButton = nullptr;
};

#endif
