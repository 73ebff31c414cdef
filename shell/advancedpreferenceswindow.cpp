#include "advancedpreferenceswindow.h"

#include "buffersettings.h"
#include "preferences.h"
#include "screensaver.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QtDebug>

#include <utility>

namespace {
const QString bufferHint = QStringLiteral(
    "HINT: Press Apply, then hit the stop button followed by the play button to have the current "
    "song playing reload with the new buffer settings");

Preferences *preferences()
{
    return Preferences::Instance();
}
} // namespace

AdvancedPreferencesWindow::AdvancedPreferencesWindow() : QMainWindow(nullptr)
{
    setObjectName(QStringLiteral("AdvancedPreferencesWindow"));
    auto *grid = new QWidget(this);
    setCentralWidget(grid);
    layout = new QGridLayout(grid);
    layout->setContentsMargins(0, 0, 0, 0);
    setWindowTitle(QStringLiteral("Vantrel Kivo Player Advanced Preferences"));

    // Cells are counted from 1, as the window has always been laid out: row 0, column 0 and the
    // cell beside "Buffer Settings for next song" stay empty.
    autoPlayBox = new QCheckBox(QStringLiteral("Enable Auto Play"), this);
    autoPlayBox->setToolTip(QStringLiteral(
        "When Enabled the player automatically starts playing the song when loaded, or when "
        "moving to the next song on the playlist."));
    layout->addWidget(autoPlayBox, 1, 1);
    screenSaverBox = new QCheckBox(QStringLiteral("Disable Screen Saver"), this);
    screenSaverBox->setToolTip(
        QStringLiteral("When Enabled the screen saver will not start while the program is running"));
    layout->addWidget(screenSaverBox, 1, 2);

    const Preferences *store = preferences();
    mp3DecoderLabel = addLabel(QStringLiteral("MP3 Decoder Module:"), 2);
    mp3DecoderBox = addModuleBox(store ? store->mp3DecoderModule() : QString(), 2);
    interactiveMediaLabel = addLabel(QStringLiteral("Interactive Media Module:"), 3);
    interactiveMediaBox = addModuleBox(store ? store->interactiveMediaModule() : QString(), 3);
    soundOutputLabel = addLabel(QStringLiteral("Sound Output"), 4);
    soundOutputBox = addModuleBox(store ? store->soundOutputModule() : QString(), 4);
    bufferSettingsLabel = addLabel(QStringLiteral("Buffer Settings for next song"), 5, bufferHint);
    bufferSizeLabel = addLabel(QStringLiteral("Size of each Sound Buffer:"), 6, bufferHint);
    bufferSizeSlider =
        addSlider(BufferSettings::minBufferSize, BufferSettings::maxBufferSize, 6, bufferHint);
    bufferCountLabel = addLabel(QStringLiteral("Number of Sound Buffers"), 7, bufferHint);
    bufferCountSlider =
        addSlider(BufferSettings::minBufferCount, BufferSettings::maxBufferCount, 7, bufferHint);

    acceptButton = new QPushButton(QStringLiteral("Accept"), this);
    acceptButton->setToolTip(QStringLiteral("Accept these changes."));
    layout->addWidget(acceptButton, 8, 1);
    cancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    cancelButton->setToolTip(QStringLiteral("Don't make any changes."));
    layout->addWidget(cancelButton, 8, 2);

    // Object names follow the fields, so each control can be found by its name.
    const std::pair<QWidget *, const char *> names[] = {
        {autoPlayBox, "autoPlayBox"},         {screenSaverBox, "screenSaverBox"},
        {mp3DecoderBox, "mp3DecoderBox"},     {interactiveMediaBox, "interactiveMediaBox"},
        {soundOutputBox, "soundOutputBox"},   {bufferSizeSlider, "bufferSizeSlider"},
        {bufferCountSlider, "bufferCountSlider"}, {acceptButton, "acceptButton"},
        {cancelButton, "cancelButton"}};
    for (const auto &[widget, name] : names)
        widget->setObjectName(QLatin1String(name));

    connect(acceptButton, &QPushButton::clicked, this,
            &AdvancedPreferencesWindow::acceptButtonPressed);
    connect(cancelButton, &QPushButton::clicked, this,
            &AdvancedPreferencesWindow::cancelButtonPressed);

    resize(minimumSizeHint());
    updateGeometry();
    refresh();
    applyScreenSaver();
}

QLabel *AdvancedPreferencesWindow::addLabel(const QString &text, int row, const QString &toolTip)
{
    auto *label = new QLabel(text, this);
    label->setToolTip(toolTip);
    layout->addWidget(label, row, 1);
    return label;
}

QComboBox *AdvancedPreferencesWindow::addModuleBox(const QString &module, int row)
{
    auto *box = new QComboBox(this);
    box->setEditable(false);
    box->addItem(module);
    layout->addWidget(box, row, 2);
    return box;
}

QSlider *AdvancedPreferencesWindow::addSlider(int minimum, int maximum, int row,
                                              const QString &toolTip)
{
    auto *slider = new QSlider(Qt::Horizontal, this);
    slider->setRange(minimum, maximum);
    slider->setPageStep(1);
    slider->setTickPosition(QSlider::NoTicks);
    slider->setToolTip(toolTip);
    layout->addWidget(slider, row, 2);
    return slider;
}

void AdvancedPreferencesWindow::refresh()
{
    const Preferences *store = preferences();
    if (!store)
        return;
    autoPlayBox->setChecked(store->autoPlay());
    screenSaverBox->setChecked(store->disableScreenSaver());
    // A value outside a slider's range shows clamped, and Accept stores the clamped value.
    bufferSizeSlider->setValue(store->bufferSize());
    bufferCountSlider->setValue(store->bufferCount());
}

void AdvancedPreferencesWindow::applyScreenSaver()
{
    if (screenSaverBox->isChecked())
        suspendScreenSaver();
    else
        restoreScreenSaver();
}

void AdvancedPreferencesWindow::applyChanges()
{
    Preferences *store = preferences();
    if (!store)
        return;
    store->setAutoPlay(autoPlayBox->isChecked());
    store->setDisableScreenSaver(screenSaverBox->isChecked());
    applyScreenSaver();
    store->setNextBufferSize(bufferSizeSlider->value());
    store->setNextBufferCount(bufferCountSlider->value());
    qDebug("Got Frame Size of %d, and Buffer Count of %d", bufferSizeSlider->value(),
           bufferCountSlider->value());
}

void AdvancedPreferencesWindow::acceptButtonPressed()
{
    applyChanges();
    hide();
}

void AdvancedPreferencesWindow::cancelButtonPressed()
{
    hide();
}
