// The transport as a user drives it from the keyboard, the Playback menu, the seek bar and the
// volume control: the menu follows the buttons in every state, seeks land on their frame and keep
// the song playing or paused, and the volume lasts from run to run beside the preferences record,
// whose bytes it never touches.

#include "entry.h"
#include "extrasettings.h"
#include "mainwindow.h"
#include "modalanswers.h"
#include "mp3fixtures.h"
#include "mp3object.h"
#include "playlistfile.h"
#include "preferences.h"
#include "seekbar.h"
#include "soundsettings.h"
#include "volumecontrol.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QShortcut>
#include <QSlider>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <memory>

namespace {

constexpr int tenMinutes = 22970; // frames
constexpr int oneMinute = 2297;   // frames heard at 1:00

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void wheel(QWidget *widget, int eighths)
{
    const QPointF at(widget->width() / 2, widget->height() / 2);
    QWheelEvent event(at, widget->mapToGlobal(at), {}, {0, eighths}, Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget, &event);
}

MP3Object *song()
{
    return MP3Object::hasAnInstance() ? MP3Object::Instance() : nullptr;
}

} // namespace

class TestTransport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void menuEntriesAndKeys();
    void menuFollowsTheTransport_data();
    void menuFollowsTheTransport();
    void seeksLandOnTheirFrame_data();
    void seeksLandOnTheirFrame();
    void dragAcrossATenMinuteSong();
    void volumeLastsAndLeavesTheRecord();
    void damagedSettingsGiveDefaults_data();
    void damagedSettingsGiveDefaults();

private:
    void openWindow();
    void load();
    QAction *entry(const QString &text) const;
    template <typename T> T *child(const char *name) const { return window->findChild<T *>(name); }

    QTemporaryDir songs;
    std::unique_ptr<QTemporaryDir> dir; // the preferences' folder, new for every test
    MainWindow *window = nullptr;
};

// A ten-minute song of silent frames (quick to make and to count) and a short one after it.
void TestTransport::initTestCase()
{
    QVERIFY(
        Mp3Fixtures::writeFile(songs.filePath("long.mp3"), Mp3Fixtures::emptyFrames(tenMinutes)));
    QVERIFY(Mp3Fixtures::writeFile(songs.filePath("short.mp3"), Mp3Fixtures::emptyFrames(400)));
    QString failure;
    QVERIFY(PlayListFile::write(songs.filePath("two.playlist"),
                                {songs.filePath("long.mp3"), songs.filePath("short.mp3")},
                                failure));
}

void TestTransport::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QCOMPARE(createClassMutexes(), 0);
    QVERIFY(Preferences::Instance(dir->filePath("test.preferences")));
    Preferences::Instance()->setAutoPlay(false); // the record is on disk from here on
}

void TestTransport::cleanup()
{
    Answers answers({"PlayListChangedBox=no"});
    if (window)
        window->close();
    window = nullptr;
    destroyInstances();
}

void TestTransport::openWindow()
{
    window = MainWindow::Instance();
    window->show();
    QVERIFY(QTest::qWaitForWindowActive(window));
}

// The list loaded, its long song stopped at its start.
void TestTransport::load()
{
    window->loadFile(songs.filePath("two.playlist"));
    QTRY_VERIFY(child<QToolButton>("Play")->isEnabled());
}

QAction *TestTransport::entry(const QString &text) const
{
    for (QAction *action : child<QMenu>("playbackMenu")->actions()) {
        if (action->text() == text)
            return action;
    }
    return nullptr;
}

// Inserted before Help, every entry with its key; no key of the window does two things; the
// tool tips name the keys.
void TestTransport::menuEntriesAndKeys()
{
    openWindow();
    QStringList titles, entries;
    for (const QAction *menu : window->menuBar()->actions())
        titles << menu->text();
    QCOMPARE(titles, QStringList({"&File", "&View", "&Preferences", "P&layback", "&Help"}));
    for (const QAction *action : child<QMenu>("playbackMenu")->actions())
        entries << (action->isSeparator() ? "-"
                                          : action->text() + ' ' + action->shortcut().toString());
    QCOMPARE(
        entries.join(" | "),
        "&Play/Pause Space | &Stop  | Pre&vious P | &Next N | &Rewind  | &Fast Forward  | - | "
        "Key &Up + | Key &Down - | &Original Key 0 | Vo&cal Reduction V | - | Vo&lume Up Ctrl+Up "
        "| Volume Do&wn Ctrl+Down | &Mute M | Full Scr&een F11 | - | Loudness Normalisation  | Party &Mode ");

    QList<QKeySequence> keys;
    for (const QAction *action : window->actions())
        keys << action->shortcuts();
    for (const QShortcut *shortcut : window->findChildren<QShortcut *>())
        keys << shortcut->key();
    for (const QString &title : titles)
        keys << QKeySequence::mnemonic(title);
    for (const QKeySequence &key : std::as_const(keys))
        QVERIFY2(keys.count(key) == 1, qPrintable(key.toString()));
    QCOMPARE(child<QToolButton>("Next")->toolTip(), "Next (N)");
    QCOMPARE(child<QToolButton>("Pause")->toolTip(), "Pause (Space)");
    QCOMPARE(child<QToolButton>("FF")->toolTip(), "FF");
}

void TestTransport::menuFollowsTheTransport_data()
{
    QTest::addColumn<QStringList>("steps"); // keys and menu entries, "load", "a while"
    QTest::addColumn<QString>("status");    // what the engine says, as a pattern
    QTest::addColumn<QString>("enabled");   // the transport entries enabled
    QTest::addRow("no song") << QStringList() << ""
                             << "";
    QTest::addRow("stopped") << QStringList{"load"} << "is Stoped$"
                             << "&Play/Pause &Next &Fast Forward";
    QTest::addRow("playing") << QStringList{"load", "Space"} << "^Playing"
                             << "&Play/Pause &Stop &Next &Rewind &Fast Forward";
    QTest::addRow("paused") << QStringList{"load", "Space", "Space"} << "is Paused$"
                            << "&Play/Pause &Stop &Next";
    QTest::addRow("rewinding") << QStringList{"load", "Space", "a while", "&Rewind"} << "^Rewinding"
                               << "&Play/Pause &Stop &Next";
    QTest::addRow("fast forwarding")
        << QStringList{"load", "Space", "&Fast Forward"} << "^Fast Forwarding"
        << "&Play/Pause &Stop &Next";
    QTest::addRow("next song playing") << QStringList{"load", "N", "Space"} << "^Playing"
                                       << "&Play/Pause &Stop Pre&vious &Rewind &Fast Forward";
}

// Each transport entry is enabled exactly while its button is (Play/Pause: either of its two).
void TestTransport::menuFollowsTheTransport()
{
    QFETCH(QStringList, steps);
    QFETCH(QString, status);
    QFETCH(QString, enabled);
    openWindow();
    for (const QString &step : std::as_const(steps)) {
        if (step == "load") {
            load();
        } else if (step == "a while") {
            QTRY_VERIFY(song()->position() > 60);
        } else if (step.size() > 1 && step != "Space") {
            entry(step)->trigger();
        } else {
            const QString file = song()->fileName();
            QTest::keyClick(window, QKeySequence::fromString(step)[0].key());
            if (step == "N") // the next song comes on a later pass
                QTRY_VERIFY(song() && song()->fileName() != file);
        }
    }
    if (!status.isEmpty())
        QVERIFY2(QRegularExpression(status).match(song()->statusText()).hasMatch(),
                 qPrintable(song()->statusText()));
    const std::pair<const char *, QStringList> transport[] = {{"&Play/Pause", {"Play", "Pause"}},
                                                              {"&Stop", {"Stop"}},
                                                              {"Pre&vious", {"Previous"}},
                                                              {"&Next", {"Next"}},
                                                              {"&Rewind", {"Rewind"}},
                                                              {"&Fast Forward", {"FF"}}};
    QStringList on;
    for (const auto &[text, names] : transport) {
        bool buttonOn = false;
        for (const QString &name : names)
            buttonOn |= window->findChild<QToolButton *>(name)->isEnabled();
        QCOMPARE(entry(text)->isEnabled(), buttonOn);
        if (buttonOn)
            on << text;
    }
    QCOMPARE(on.join(' '), enabled);
}

void TestTransport::seeksLandOnTheirFrame_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("frame"); // heard before the place sought
    QTest::addColumn<int>("tolerance");
    // The handle comes to be centred under the pointer: the middle of the song, within a pixel.
    QTest::addRow("click in the middle") << "click" << tenMinutes / 2 << tenMinutes / 100;
    QTest::addRow("Left") << "Left" << oneMinute - 191 << 0;
    QTest::addRow("Shift+Right") << "Shift+Right" << oneMinute + 1148 << 0;
    QTest::addRow("Home") << "Home" << 0 << 0;
    QTest::addRow("wheel a notch forward") << "wheel 120" << oneMinute + 191 << 0;
    QTest::addRow("wheel two notches back") << "wheel -240" << oneMinute - 382 << 0;
    QTest::addRow("past the end") << "seekTo 999999" << tenMinutes - 2 << 0;
}

// From 1:00, paused: the song stands at the place sought, still paused, the bar showing it.
void TestTransport::seeksLandOnTheirFrame()
{
    QFETCH(QString, how);
    QFETCH(int, frame);
    QFETCH(int, tolerance);
    openWindow();
    load();
    QTest::keyClick(window, Qt::Key_Space);
    QTest::keyClick(window, Qt::Key_Space);
    window->seekTo(oneMinute + 1);
    QTRY_COMPARE(song()->position(), oneMinute);
    auto *slider = child<QSlider>("seekSlider");
    if (how == "click")
        QTest::mouseClick(slider, Qt::LeftButton, {}, {slider->width() / 2, slider->height() / 2});
    else if (how.startsWith("wheel"))
        wheel(slider, how.section(' ', 1).toInt());
    else if (how.startsWith("seekTo"))
        window->seekTo(how.section(' ', 1).toInt());
    else
        QTest::keySequence(window, QKeySequence::fromString(how));
    QTRY_VERIFY2(qAbs(song()->position() - frame) <= tolerance,
                 qPrintable(QString::number(song()->position())));
    QVERIFY(song()->statusText().endsWith(" is Paused"));
    QTRY_COMPARE(window->findChild<SeekBar *>()->place(), song()->position());
    QCOMPARE(child<QLabel>("elapsedLabel")->text(), MainWindow::formatTime(song()->position()));
}

// A drag of 3 s across the playing song and back to its middle, resting a moment on the way: a
// seek at the rest and one on release, and the song plays on from where the handle was let go.
void TestTransport::dragAcrossATenMinuteSong()
{
    openWindow();
    load();
    QTest::keyClick(window, Qt::Key_Space);
    auto *slider = child<QSlider>("seekSlider");
    auto *bar = window->findChild<SeekBar *>();
    QSignalSpy seeks(bar, &SeekBar::seekRequested);
    // From a quarter (clear of the handle, which the press centres there) to the far end and back
    // to the middle, 150 moves 20 ms apart.
    const int y = slider->height() / 2, width = slider->width();
    const auto x = [width](int step) {
        return step <= 100 ? width / 4 + width * 7 / 10 * step / 100
                           : width * 19 / 20 - width * 9 / 20 * (step - 100) / 50;
    };
    QTest::mousePress(slider, Qt::LeftButton, {}, {x(0), y});
    for (int step = 1; step <= 150; ++step) {
        QTest::mouseMove(slider, {x(step), y}, 20);
        if (step == 75)
            QTest::qWait(SeekBar::dragRestMs * 2);
    }
    const int released = slider->value();
    QTest::mouseRelease(slider, Qt::LeftButton, {}, {x(150), y});
    QVERIFY2(seeks.size() >= 2, qPrintable(QString::number(seeks.size())));
    QCOMPARE(seeks.last().value(0).toInt(), released);
    QVERIFY2(qAbs(released - tenMinutes / 2) <= tenMinutes / 100,
             qPrintable(QString::number(released)));
    // The seek at the rest went further on: only the new place counts.
    QTRY_VERIFY(song()->position() > released && song()->position() < released + 200 &&
                song()->statusText().startsWith("Playing"));
}

// Ctrl+Down twice, M, a wheel notch and a drag of the slider: in effect at once, stored once done
// (a drag on release), in the next run again; the preferences record keeps its bytes.
void TestTransport::volumeLastsAndLeavesTheRecord()
{
    const QString record = dir->filePath("test.preferences");
    openWindow();
    QTRY_VERIFY(!child<QTimer>("geometryTimer")->isActive()); // the window's place is stored
    const QByteArray golden = readAll(record);
    QVERIFY(!golden.isEmpty());
    auto *slider = child<QSlider>("volumeSlider");
    QCOMPARE(slider->value(), 100);
    QVERIFY(!entry("Vo&lume Up")->isEnabled());
    const auto stored = [this] {
        const ExtraSettings settings(dir->filePath(ExtraSettings::fileBaseName));
        return QString("%1 %2")
            .arg(settings.intValue("volume", -1, 0, 100))
            .arg(settings.boolValue("muted", false));
    };
    QTest::keyClick(window, Qt::Key_Down, Qt::ControlModifier);
    QTest::keyClick(window, Qt::Key_Down, Qt::ControlModifier);
    QCOMPARE(stored(), "90 0");
    QTest::keyClick(window, Qt::Key_M);
    QCOMPARE(stored(), "90 1");
    QVERIFY(SoundSettings::muted() && entry("&Mute")->isChecked());
    wheel(slider, 120);
    QCOMPARE(stored(), "95 1");
    slider->setSliderDown(true);
    slider->setSliderPosition(30);
    QCOMPARE(SoundSettings::volume(), 30);
    QCOMPARE(stored(), "95 1");
    slider->setSliderDown(false);
    QCOMPARE(stored(), "30 1");
    QCOMPARE(readAll(record).toHex(' '), golden.toHex(' '));

    cleanup(); // the next run
    SoundSettings::setVolume(100);
    SoundSettings::setMuted(false);
    QCOMPARE(createClassMutexes(), 0);
    QVERIFY(Preferences::Instance(record));
    openWindow();
    QCOMPARE(child<QSlider>("volumeSlider")->value(), 30);
    QVERIFY(child<QToolButton>("muteButton")->isChecked() && entry("&Mute")->isChecked());
    QVERIFY(SoundSettings::volume() == 30 && SoundSettings::muted());
}

void TestTransport::damagedSettingsGiveDefaults_data()
{
    QTest::addColumn<QByteArray>("file"); // "dir": a folder in its place
    QTest::addColumn<int>("volume");
    QTest::addColumn<bool>("muted");
    QTest::addRow("missing") << QByteArray() << 100 << false;
    QTest::addRow("not JSON") << QByteArray("\xff{\"volume\": 20") << 100 << false;
    QTest::addRow("out of range") << QByteArray(R"({"volume": 250, "muted": 1})") << 100 << false;
    QTest::addRow("wrong types") << QByteArray(R"({"volume": "20", "muted": "true"})") << 100
                                 << false;
    QTest::addRow("a folder") << QByteArray("dir") << 100 << false;
    QTest::addRow("sound") << QByteArray(R"({"volume": 20, "muted": true})") << 20 << true;
}

void TestTransport::damagedSettingsGiveDefaults()
{
    QFETCH(QByteArray, file);
    QFETCH(int, volume);
    QFETCH(bool, muted);
    const QString path = dir->filePath(ExtraSettings::fileBaseName);
    if (file == "dir")
        QVERIFY(QDir().mkdir(path));
    else if (!file.isEmpty())
        QVERIFY(Mp3Fixtures::writeFile(path, file));
    SoundSettings::setVolume(50);
    SoundSettings::setMuted(!muted);
    const VolumeControl control;
    QCOMPARE(control.volume(), volume);
    QCOMPARE(control.isMuted(), muted);
    QCOMPARE(SoundSettings::volume(), volume);
    QCOMPARE(SoundSettings::muted(), muted);
}

QTEST_MAIN(TestTransport)
#include "tst_transport.moc"
