// The player as its user meets it: a playlist of two songs with lyrics played end to end through
// SDL's disk driver (sound, status bar, time field, lyrics picture, transport buttons), and the
// main menu and advanced window driven through their dialogs.

#include "entry.h"
#include "extrasettings.h"
#include "localfilename.h"
#include "librarydatabase.h"
#include "libraryindex.h"
#include "libraryscanner.h"
#include "librarywindow.h"
#include "partycontroller.h"
#include "partylink.h"
#include "partyqueue.h"
#include "songcatalog.h"
#include "lyricslabel.h"
#include "mainwindow.h"
#include "modalanswers.h"
#include "mp3fixtures.h"
#include "mp3object.h"
#include "mpris.h"
#include "playlistfile.h"
#include "playlistwindow.h"
#include "preferences.h"
#include "soundsettings.h"

#include <QAction>
#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QSlider>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <thread>

namespace {

// Everything SDL's disk driver writes into a FIFO, across the devices that the songs open and
// close (a plain file would be overwritten by every new device).
class SoundCapture
{
public:
    explicit SoundCapture(const QString &path) : path(QFile::encodeName(path))
    {
        ::mkfifo(this->path.constData(), 0600);
        reader = std::thread([this] {
            while (!done) {
                const int fd = ::open(this->path.constData(), O_RDONLY);
                char chunk[65536];
                for (ssize_t n; fd >= 0 && (n = ::read(fd, chunk, sizeof chunk)) > 0;) {
                    std::lock_guard<std::mutex> locker(lock); // guards sound
                    sound.append(chunk, n);
                }
                if (fd >= 0)
                    ::close(fd);
            }
        });
    }
    ~SoundCapture()
    {
        done = true;
        const int fd = ::open(path.constData(), O_WRONLY | O_NONBLOCK); // ends a waiting open
        if (fd >= 0)
            ::close(fd);
        reader.join();
    }
    QByteArray taken()
    {
        std::lock_guard<std::mutex> locker(lock); // guards sound
        return sound;
    }

private:
    QByteArray path;
    std::mutex lock;
    QByteArray sound;
    std::atomic<bool> done{false};
    std::thread reader;
};

// One letter per frame of sound that is not silent: 'a' for the 440 Hz song, 'b' for 880 Hz,
// told apart by the left channel's zero crossings (23 or 46 a frame).
QString toneOfEachFrame(const QByteArray &sound)
{
    QString tones;
    const auto *samples = reinterpret_cast<const qint16 *>(sound.constData());
    const int perFrame = 1152 * 2;
    for (qsizetype at = 0; at + perFrame <= sound.size() / 2; at += perFrame) {
        int crossings = 0, loudest = 0;
        for (int i = 2; i < perFrame; i += 2) {
            crossings += (samples[at + i] < 0) != (samples[at + i - 2] < 0);
            loudest = std::max(loudest, std::abs(int(samples[at + i])));
        }
        if (loudest > 1000)
            tones += crossings < 34 ? 'a' : 'b';
    }
    return tones;
}

int pixelsOf(const QLabel *label, QColor color)
{
    const QImage picture = label->pixmap().toImage();
    int count = 0;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x)
            count += picture.pixelColor(x, y) == color;
    }
    return count;
}

QToolButton *button(const char *name)
{
    return MainWindow::Instance()->findChild<QToolButton *>(name);
}

void trigger(const QString &entry)
{
    for (QAction *action : MainWindow::Instance()->menuBar()->findChildren<QAction *>()) {
        if (action->text() == entry)
            return action->trigger();
    }
    QFAIL(qPrintable("no menu entry " + entry));
}

// Opens the pipe for writing whenever a reader waits in its open, which frees a reader blocked
// there: the test goes on, and blocked() tells that the player was stuck.
class PipeWatch
{
public:
    explicit PipeWatch(const QString &path) : path(QFile::encodeName(path))
    {
        ::mkfifo(this->path.constData(), 0600);
        watcher = std::thread([this] {
            while (!done) {
                const int fd = ::open(this->path.constData(), O_WRONLY | O_NONBLOCK);
                if (fd >= 0) {
                    stuck = true;
                    ::close(fd);
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        });
    }
    ~PipeWatch()
    {
        done = true;
        watcher.join();
    }
    bool blocked() const { return stuck; }

private:
    QByteArray path;
    std::atomic<bool> done{false}, stuck{false};
    std::thread watcher;
};

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void formatTime_data();
    void formatTime();
    void playsAPlaylistEndToEnd();
    void hostileInputs_data();
    void hostileInputs();
    void unplayableSongs_data();
    void unplayableSongs();
    void troubles_data();
    void troubles();
    void menuChoicesAreStored();
    void advancedWindowStoresTheNextSongsBuffers();
    void lyricsFullScreen_data();
    void lyricsFullScreen();
    void soundKeys_data();
    void soundKeys();
    void librarySongsPlayAtEvenLoudness();
    void partyPlaysTheNextSinger();

private:
    QTemporaryDir dir;
    MainWindow *window = nullptr;
    QByteArray diskFile = qgetenv("SDL_DISKAUDIOFILE");
    std::unique_ptr<SoundCapture> capture; // outlives the devices that write into it
};

void TestMainWindow::init()
{
    QCOMPARE(createClassMutexes(), 0);
    QVERIFY(Preferences::Instance(dir.filePath("test.preferences")));
    window = MainWindow::Instance();
    window->show();
}

void TestMainWindow::cleanup()
{
    Answers answers({"PlayListChangedBox=no"}); // a changed list offers to be saved
    window->close();
    destroyInstances();
    capture.reset();
    qputenv("SDL_DISKAUDIOFILE", diskFile);
    QFile::remove(dir.filePath("test.preferences"));
}

void TestMainWindow::formatTime_data()
{
    QTest::addColumn<int>("frames");
    QTest::addColumn<QString>("text");
    const std::pair<int, const char *> rows[] = {
        {0, "0:00"},     {38, "0:00"},     {39, "0:01"},      {382, "0:09"},       {383, "0:10"},
        {2296, "0:59"}, {2297, "1:00"}, {11484, "4:59"}, {137800, "59:59"}, {137820, "60:00"}};
    for (const auto &[frames, text] : rows)
        QTest::addRow("%d", frames) << frames << QString(text);
}

void TestMainWindow::formatTime()
{
    QFETCH(int, frames);
    QFETCH(QString, text);
    QCOMPARE(MainWindow::formatTime(frames), text);
}

// Two songs with auto play: the first plays to its end with its lyrics wiped word by word, the
// second follows, and at the list's end the last song is reloaded at its start and waits. Passes
// run only when there is work: a few hundred over the songs' 4 s, not hundreds of thousands. Next
// pressed during a song leaves nothing of it to be heard after the next one starts.
void TestMainWindow::playsAPlaylistEndToEnd()
{
    const QString first = dir.filePath("first.mp3"), second = dir.filePath("second.mp3");
    Mp3Fixtures::Sine sine;
    sine.seconds = 2.5;
    QVERIFY(Mp3Fixtures::writeSine(first, sine));
    sine.frequency = 880;
    sine.seconds = 1.5;
    QVERIFY(Mp3Fixtures::writeSine(second, sine));
    QVERIFY(Mp3Fixtures::writeFile(dir.filePath("first.lrc"),
                                   "[00:00.20]<00:00.20>La <00:01.50>lala\n"));
    QVERIFY(Mp3Fixtures::writeFile(dir.filePath("second.lrc"), "[00:00.10]<00:00.10>Oh <00:00.90>oh\n"));
    QString failure;
    QVERIFY(PlayListFile::write(dir.filePath("two.playlist"), {first, second}, failure));
    capture = std::make_unique<SoundCapture>(dir.filePath("sound.fifo"));
    qputenv("SDL_DISKAUDIOFILE", QFile::encodeName(dir.filePath("sound.fifo")));
    Preferences::Instance()->setAutoPlay(true);

    QStringList messages, times;
    connect(window->statusBar(), &QStatusBar::messageChanged, this, [&](const QString &text) {
        if (messages.value(messages.size() - 1) != text)
            messages << text;
    });
    const auto *lyrics = window->findChild<LyricsLabel *>();
    const auto *timeLabel = window->findChild<QLabel *>("timeLabel");
    const QColor highlight = Preferences::Instance()->highlightColor();
    QList<std::pair<int, int>> wipes; // (frame heard, highlighted pixels) while the first plays
    QTimer sampler;
    connect(&sampler, &QTimer::timeout, this, [&] {
        MP3Object *song = MP3Object::hasAnInstance() ? MP3Object::Instance() : nullptr;
        if (song && song->fileName() == first && song->statusText().startsWith("Playing"))
            wipes << std::pair(song->position(), pixelsOf(lyrics, highlight));
        if (!times.contains(timeLabel->text()))
            times << timeLabel->text();
    });
    sampler.start(5);
    int passes = 0;
    connect(window->findChild<QTimer *>("passTimer"), &QTimer::timeout, this, [&] { ++passes; });

    window->loadFile(dir.filePath("two.playlist"));
    const QString stoppedAtTheEnd = second + " is Stoped";
    QTRY_VERIFY_WITH_TIMEOUT(messages.contains("Playing " + second) &&
                                 window->statusBar()->currentMessage() == stoppedAtTheEnd,
                             20000);
    const QString tones = toneOfEachFrame(capture->taken());
    const int passesToTheEnd = passes;
    QTest::qWait(300); // auto play is on, yet the reloaded song waits for Play
    QCOMPARE(window->statusBar()->currentMessage(), stoppedAtTheEnd);
    QVERIFY2(passesToTheEnd < 2000 && passes - passesToTheEnd < 100,
             qPrintable(QString::number(passes)));
    QCOMPARE(MP3Object::Instance()->position(), 0);

    // Both songs were heard whole, in order: 96 and 58 frames, the last one mostly silence.
    const auto match = QRegularExpression("^(a+)(b+a?)$").match(tones);
    QVERIFY2(match.hasMatch(), qPrintable(tones));
    QVERIFY2(qAbs(match.capturedLength(1) - 96) <= 1 && qAbs(match.capturedLength(2) - 58) <= 1,
             qPrintable(tones));
    for (const QString &text : {"Loading song " + first, "Playing " + first,
                                QString("Loading Next Song on Playlist"), "Loading song " + second,
                                "Playing " + second})
        QVERIFY2(messages.contains(text), qPrintable(messages.join('\n')));
    QVERIFY2(times.contains("0:01 / 0:02") && times.contains("0:00 / 0:01"),
             qPrintable(times.join(' ')));

    // "La " lights from 0.2 s, "lala" from 1.5 s (frame 58) on, and never before.
    int before = 0, after = INT_MAX;
    for (const auto &[frame, pixels] : std::as_const(wipes)) {
        if (frame >= 15 && frame <= 54)
            before = std::max(before, pixels);
        if (frame >= 62)
            after = std::min(after, pixels);
        if (frame >= 15 && frame <= 54)
            QVERIFY2(pixels > 0, qPrintable(QString("nothing lit at frame %1").arg(frame)));
    }
    QVERIFY2(before > 0 && after > before, qPrintable(QString("%1 %2").arg(before).arg(after)));

    // At the last song only Previous is possible; at the first only Next.
    QVERIFY(!button("Next")->isEnabled() && button("Previous")->isEnabled());
    QVERIFY(button("Play")->isEnabled());
    const qsizetype heard = capture->taken().size() / 4608 * 4608; // whole frames
    button("Previous")->click();
    QTRY_COMPARE_WITH_TIMEOUT(window->statusBar()->currentMessage(), "Playing " + first, 5000);
    QVERIFY(button("Next")->isEnabled() && !button("Previous")->isEnabled());
    QTRY_VERIFY(MP3Object::Instance()->position() > 5);

    // Next mid-song: the first song's sound, then only the second's, on the device kept open.
    button("Next")->click();
    QTRY_VERIFY_WITH_TIMEOUT(MP3Object::hasAnInstance() &&
                                 MP3Object::Instance()->fileName() == second &&
                                 MP3Object::Instance()->position() > 5,
                             5000);
    const QString changed = toneOfEachFrame(capture->taken().mid(heard));
    QVERIFY2(QRegularExpression("^a+b+$").match(changed).hasMatch(), qPrintable(changed));
    button("Stop")->click();
    QTRY_COMPARE(window->statusBar()->currentMessage(), second + " is Stoped");
    QCOMPARE(MP3Object::Instance()->position(), 0);
    QVERIFY(button("Play")->isEnabled() && !button("Stop")->isEnabled());
}

void TestMainWindow::unplayableSongs_data()
{
    QTest::addColumn<QStringList>("songs"); // "" is an empty row
    QTest::addColumn<QString>("played");    // the song that plays at last, or "" when it halts
    QTest::addRow("two that cannot be played, repeat on: halts")
        << QStringList{"missing.mp3", "text.mp3"} << "";
    QTest::addRow("the same missing song twice, then a good one: plays it")
        << QStringList{"missing.mp3", "missing.mp3", "good.mp3"} << "good.mp3";
    QTest::addRow("five empty rows, then a song: plays it")
        << QStringList{"", "", "", "", "", "good.mp3"} << "good.mp3";
}

// Songs that cannot be played, with repeat and auto play on: each is reported and skipped once,
// and the player goes on to a song that plays, or stops trying once every row of the list has
// failed instead of cycling through them for ever. A window stored off every screen comes back
// on the primary one.
void TestMainWindow::unplayableSongs()
{
    QFETCH(QStringList, songs);
    QFETCH(QString, played);
    QVERIFY(Mp3Fixtures::writeFile(dir.filePath("text.mp3"), "not a song"));
    QVERIFY(Mp3Fixtures::writeSine(dir.filePath("good.mp3"), Mp3Fixtures::Sine()));
    QString failure;
    for (QString &song : songs)
        song = song.isEmpty() ? song : dir.filePath(song);
    QVERIFY(PlayListFile::write(dir.filePath("bad.playlist"), songs, failure));
    cleanup(); // a new window, placed from these preferences
    QCOMPARE(createClassMutexes(), 0);
    Preferences *preferences = Preferences::Instance(dir.filePath("test.preferences"));
    preferences->setRepeatPlaylist(true);
    preferences->setAutoPlay(true);
    preferences->setMainWindowPosition(5000, 5000);
    window = MainWindow::Instance();
    window->show();
    QVERIFY(QGuiApplication::primaryScreen()->availableGeometry().contains(window->pos()));

    int reports = 0;
    connect(window->statusBar(), &QStatusBar::messageChanged, this,
            [&](const QString &text) { reports += text.startsWith("Unable to play "); });
    window->loadFile(dir.filePath("bad.playlist"));
    if (!played.isEmpty()) {
        QTRY_COMPARE(window->statusBar()->currentMessage(), "Playing " + dir.filePath(played));
        return;
    }
    QTRY_VERIFY(reports >= 2);
    QTest::qWait(300);
    QVERIFY2(reports <= 4, qPrintable(QString::number(reports)));
    QVERIFY(window->statusBar()->currentMessage().startsWith("Unable to play "));
    QVERIFY(!button("Play")->isEnabled());
}

void TestMainWindow::hostileInputs_data()
{
    QTest::addColumn<QByteArray>("input"); // a file name in the test's folder, made by the test
    QTest::addColumn<QString>("route"); // load (as the command line, a drop), entry (in a list), uri
    QTest::addColumn<QString>("box");      // the File ERROR box gives this reason, or no box
    QTest::addColumn<QString>("status");   // the status bar's message at rest begins so
    QTest::addColumn<int>("rows");
    const QString pipe = "It is not a regular file (a folder, a pipe or a device).";
    const QString large = "It is too large to be a playlist.";
    QTest::addRow("pipe as a song, loaded") << QByteArray("pipe.mp3") << "load" << pipe
                                            << "" << 0;
    QTest::addRow("pipe as a song, from the bus") << QByteArray("pipe.mp3") << "uri"
                                                  << pipe << "" << 0;
    QTest::addRow("pipe as a list entry") << QByteArray("pipe.mp3") << "entry" << ""
                                          << "Unable to play pipe.mp3" << 1;
    QTest::addRow("pipe as a list") << QByteArray("pipe.playlist") << "load" << pipe << ""
                                    << 0;
    QTest::addRow("pipe as an M3U list") << QByteArray("pipe.m3u") << "uri" << pipe << ""
                                         << 0;
    QTest::addRow("/dev/zero as a list") << QByteArray("zero.playlist") << "load" << pipe
                                         << "" << 0;
    QTest::addRow("3.5 GB sparse list") << QByteArray("sparse.playlist") << "load" << large << ""
                                        << 0;
    QTest::addRow("4 million empty entries") << QByteArray("empty.playlist") << "load" << ""
                                             << "Unable to play" << PlayListFile::maxEntries;
    QTest::addRow("one-frame song") << QByteArray("one.mp3") << "load" << ""
                                    << "Unable to play one.mp3" << 1;
    QTest::addRow("one-frame song, list entry") << QByteArray("one.mp3") << "entry" << ""
                                                << "Unable to play one.mp3" << 1;
    QTest::addRow("Latin-1 name, from the bus") << QByteArray("caf\xe9.mp3") << "uri" << ""
                                                << dir.filePath("caf") << 1;
}

// Pipes, devices, huge and malformed files through each way in: the player never blocks on
// them, asks no more of memory than the file holds, says what went wrong in one box or one
// status message, never reloads a song for ever, and does not remember a refused file.
void TestMainWindow::hostileInputs()
{
    QFETCH(QByteArray, input);
    QFETCH(QString, route);
    QFETCH(QString, box);
    QFETCH(QString, status);
    QFETCH(int, rows);
    Preferences *preferences = Preferences::Instance();
    preferences->setAutoPlay(false);
    preferences->setLastFile("before");
    const QByteArray path = QFile::encodeName(dir.path()) + '/' + input;
    std::unique_ptr<PipeWatch> watch;
    if (input.startsWith("pipe"))
        watch = std::make_unique<PipeWatch>(path);
    else if (input == "zero.playlist")
        QVERIFY(::symlink("/dev/zero", path.constData()) == 0);
    else if (input == "sparse.playlist")
        QVERIFY(::close(::creat(path.constData(), 0600)) == 0 &&
                ::truncate(path.constData(), 3500LL << 20) == 0);
    else if (input == "empty.playlist")
        QVERIFY(Mp3Fixtures::writeFile(QFile::decodeName(path),
                                       QByteArray::fromHex("00000000 003D0900") +
                                           QByteArray(4'000'000 * 4, '\0')));
    else if (input == "one.mp3")
        QVERIFY(Mp3Fixtures::writeFile(QFile::decodeName(path), Mp3Fixtures::emptyFrames(1)));
    else // a name Qt cannot spell: made under another, then renamed
        QVERIFY(Mp3Fixtures::writeFile(dir.filePath("made.mp3"), Mp3Fixtures::emptyFrames(40)) &&
                ::rename(QFile::encodeName(dir.filePath("made.mp3")).constData(),
                         path.constData()) == 0);
    const QString name = LocalFileName::decode(path);
    QString failure;
    QVERIFY(PlayListFile::write(dir.filePath("entry.playlist"), {name}, failure));
    int passes = 0;
    connect(window->findChild<QTimer *>("passTimer"), &QTimer::timeout, this, [&] { ++passes; });

    Answers answers(box.isEmpty() ? QStringList() : QStringList{"PlayListFileErrorBox=ok"});
    if (route == "uri")
        window->findChild<Mpris *>()->open(QLatin1String("file://" + path.toPercentEncoding("/")));
    else
        window->loadFile(route == "load" ? name : dir.filePath("entry.playlist"));
    QTRY_VERIFY(answers.steps.isEmpty());
    QTest::qWait(200);
    passes = 0;
    QTest::qWait(300);

    QVERIFY2(!watch || !watch->blocked(), "blocked on a pipe");
    QVERIFY2(passes < 50, qPrintable(QString("%1 passes at rest").arg(passes)));
    QCOMPARE(answers.unexpected.join(','), QString());
    const QString said = answers.texts.value(0);
    QVERIFY2(box.isEmpty() || (said.startsWith("File ERROR|Unable to read the ") &&
                               said.contains(name) && said.endsWith(box)),
             qPrintable(said));
    const QString message = window->statusBar()->currentMessage();
    QVERIFY2(status.isEmpty() ? !message.startsWith("Unable to play") : message.startsWith(status),
             qPrintable(message));
    QCOMPARE(PlayListWindow::Instance()->songCount(), rows);
    const QString opened = route == "entry" ? dir.filePath("entry.playlist") : name;
    QCOMPARE(preferences->lastFile(), box.isEmpty() ? opened : "before");
    watch.reset();
    QVERIFY(::unlink(path.constData()) == 0);
}

void TestMainWindow::troubles_data()
{
    QTest::addColumn<QStringList>("steps"); // action, the status bar's text then, action...
    QTest::addColumn<QStringList>("boxes"); // answered in order
    const QString one = dir.filePath("one.mp3");
    const QString noDevice = "No sound output: Couldn't open " + dir.filePath("none/sound.raw");
    QTest::addRow("no sound device: said once, stopped; Play tries it again")
        << QStringList{"no device", "", "load one.mp3", one + " is Stoped", "play", noDevice,
                       "play", noDevice, "device", "", "play", "Playing " + one}
        << QStringList{"NoSoundOutputBox=ok"};
    QTest::addRow("stopped, a menu opened and closed: the text comes back")
        << QStringList{"load one.mp3", one + " is Stoped", "menu", one + " is Stoped"}
        << QStringList();
    QTest::addRow("a song taken off the list plays to its end: stopped")
        << QStringList{"load one.mp3", one + " is Stoped", "play", "Playing " + one, "remove",
                       one + " is Stoped"}
        << QStringList();
    QTest::addRow("closing a changed list cancelled: the song plays on")
        << QStringList{"load two.playlist", one + " is Stoped", "play", "Playing " + one,
                       "move down", "", "close", "Playing " + one}
        << QStringList{"PlayListChangedBox=cancel"};
}

// What goes wrong around playing, and what the user is told in the status bar and in boxes.
void TestMainWindow::troubles()
{
    QFETCH(QStringList, steps);
    QFETCH(QStringList, boxes);
    Mp3Fixtures::Sine sine;
    sine.seconds = 5; // longer than any row takes
    QVERIFY(Mp3Fixtures::writeSine(dir.filePath("one.mp3"), sine));
    QString failure;
    QVERIFY(PlayListFile::write(dir.filePath("two.playlist"),
                                {dir.filePath("one.mp3"), dir.filePath("one.mp3")}, failure));
    Preferences::Instance()->setAutoPlay(false);
    Answers answers(boxes);
    for (int i = 0; i + 1 < steps.size(); i += 2) {
        const QString action = steps[i];
        if (action.startsWith("load "))
            window->loadFile(dir.filePath(action.mid(5)));
        else if (action == "no device" || action == "device")
            qputenv("SDL_DISKAUDIOFILE", action == "device" ? diskFile
                                                           : dir.filePath("none/sound.raw").toUtf8());
        else if (action == "play")
            button("Play")->click();
        else if (action == "menu") { // an entry without a tip, then the menu closed
            QStatusTipEvent tip{QString()};
            QApplication::sendEvent(window, &tip);
        } else if (action == "move down")
            PlayListWindow::Instance()->moveSongDown(0);
        else if (action == "remove")
            PlayListWindow::Instance()->removeSong(0);
        else if (action == "close")
            QVERIFY(!window->close());
        if (!steps[i + 1].isEmpty()) // within the 5 s song
            QTRY_COMPARE_WITH_TIMEOUT(window->statusBar()->currentMessage(), steps[i + 1], 8000);
    }
    QTRY_COMPARE(answers.steps, QStringList());
    QTest::qWait(100); // a box raised late would show by now
    QCOMPARE(answers.unexpected, QStringList());
}

// Font and colours stored and redrawn, a cancelled colour kept, the load dialog reused, a drop
// loading its first song, the about box's ten lines.
void TestMainWindow::menuChoicesAreStored()
{
    Preferences *preferences = Preferences::Instance();
    const QColor background = preferences->backgroundColor();
    const auto *lyrics = window->findChild<LyricsLabel *>();
    Answers answers({"Please select Background Color=cancel",
                     "Please select Background Color=color:#204060", "MainWindowFont=accept",
                     "MainWindowFont=font:Serif,31",
                     "MainWindowLoadFile=choose:" + dir.filePath("a.mp3"),
                     "MainWindowLoadFile=choose:" + dir.filePath("b.mp3"), "=ok"});
    trigger("&BackGround Color");
    QCOMPARE(preferences->backgroundColor(), background);
    trigger("&BackGround Color");
    QCOMPARE(preferences->backgroundColor(), QColor("#204060"));
    QCOMPARE(lyrics->pixmap().toImage().pixelColor(2, 2), QColor("#204060"));
    trigger("&Font"); // OK at once: the stored font as drawn, still bold
    QVERIFY(preferences->lyricsFont().bold());
    QCOMPARE(QFontInfo(preferences->lyricsFont()).family(), QFontInfo(QFont("Arial")).family());
    trigger("&Font");
    QCOMPARE(preferences->lyricsFont().pointSize(), 31);
    trigger("Fit &Lyrics to Window"); // the window's own setting, off at first
    QVERIFY(lyrics->fitsToWindow());
    QVERIFY(ExtraSettings::instance().boolValue("fitLyricsWindow", false));
    trigger("Fit &Lyrics to Window");
    QVERIFY(!lyrics->fitsToWindow());

    QVERIFY(Mp3Fixtures::writeFile(dir.filePath("a.mp3"), Mp3Fixtures::emptyFrames(10)));
    QVERIFY(Mp3Fixtures::writeFile(dir.filePath("b.mp3"), Mp3Fixtures::emptyFrames(10)));
    trigger("&Load");
    trigger("&Load");
    QCOMPARE(answers.seen.value(4), answers.seen.value(5));
    QCOMPARE(preferences->lastFile(), dir.filePath("b.mp3"));
    QCOMPARE(preferences->lastDirectory(), dir.path() + '/');
    QCOMPARE(PlayListWindow::Instance()->currentSongFile(), dir.filePath("b.mp3"));
    QCOMPARE(static_cast<QFileDialog *>(answers.seen.value(4))->nameFilters(),
             QStringList({"*.mp3 *.playlist", "M3U playlists (*.m3u *.m3u8)",
                          "Karaoke (*.mp3 *.zip)"}));
    QMimeData dropped;
    dropped.setUrls({QUrl::fromLocalFile(dir.filePath("a.mp3")),
                     QUrl::fromLocalFile(dir.filePath("b.mp3"))});
    QDragEnterEvent enter({5, 5}, Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window, &enter); // a drop is delivered only after one
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window, &drop);
    QCoreApplication::processEvents(); // the drop is carried out once it has returned
    QCOMPARE(preferences->lastFile(), dir.filePath("a.mp3"));
    QCOMPARE(PlayListWindow::Instance()->songCount(), 1);

    trigger("&About");
    const QStringList about = answers.texts.value(0).split('\n');
    QCOMPARE(about.size(), 10);
    QCOMPARE(about[0], "About Vantrel Kivo Player|Vantrel Kivo Player");
    QCOMPARE(about[1], "2.00.0000");
    QCOMPARE(about[8], "Information can be found at ");
    QVERIFY(answers.steps.isEmpty() && answers.unexpected.isEmpty());
}

// Cancel stores nothing; Accept stores the options and the next song's buffers, not those in
// effect, which the window shows again when it comes back.
void TestMainWindow::advancedWindowStoresTheNextSongsBuffers()
{
    Preferences *preferences = Preferences::Instance();
    const int size = preferences->bufferSize(), nextCount = preferences->nextBufferCount();
    const bool autoPlay = preferences->autoPlay();
    trigger("A&dvanced Settings");
    QWidget *advanced = nullptr;
    for (QWidget *top : QApplication::topLevelWidgets())
        advanced = top->objectName() == "AdvancedPreferencesWindow" ? top : advanced;
    QVERIFY(advanced && advanced->isVisible());
    auto *sizeSlider = advanced->findChild<QSlider *>("bufferSizeSlider");
    QCOMPARE(sizeSlider->value(), size);
    sizeSlider->setValue(size + 3);
    advanced->findChild<QPushButton *>("cancelButton")->click();
    QVERIFY(!advanced->isVisible());
    QCOMPARE(preferences->nextBufferSize(), preferences->bufferSize());

    trigger("A&dvanced Settings");
    QCOMPARE(sizeSlider->value(), size);
    sizeSlider->setValue(size + 3);
    advanced->findChild<QCheckBox *>("autoPlayBox")->click();
    advanced->findChild<QPushButton *>("acceptButton")->click();
    QVERIFY(!advanced->isVisible());
    QCOMPARE(preferences->nextBufferSize(), size + 3);
    QCOMPARE(preferences->nextBufferCount(), nextCount);
    QCOMPARE(preferences->bufferSize(), size);
    QCOMPARE(preferences->autoPlay(), !autoPlay);
    trigger("A&dvanced Settings");
    QCOMPARE(sizeSlider->value(), size);
}

void TestMainWindow::lyricsFullScreen_data()
{
    QTest::addColumn<bool>("byDoubleClick");
    QTest::addColumn<int>("leaveKey");
    QTest::addRow("F11, then Escape") << false << int(Qt::Key_Escape);
    QTest::addRow("double click, then F11") << true << int(Qt::Key_F11);
}

// The lyrics alone on the whole screen and back to the window as it was. Full screen's own size
// and place are never stored, also when the window closes in full screen.
void TestMainWindow::lyricsFullScreen()
{
    QFETCH(bool, byDoubleClick);
    QFETCH(int, leaveKey);
    QVERIFY(QTest::qWaitForWindowActive(window));
    auto *lyrics = window->findChild<LyricsLabel *>();
    const QWidget *bars[] = {window->menuBar(), window->findChild<QToolBar *>(),
                             window->statusBar()};
    const QRect place(window->pos(), window->size());
    for (const bool leave : {true, false}) {
        if (byDoubleClick)
            QTest::mouseDClick(lyrics, Qt::LeftButton);
        else
            QTest::keyClick(window, Qt::Key_F11);
        QTRY_COMPARE(window->geometry(), window->screen()->geometry());
        QCOMPARE(lyrics->geometry(), window->rect());
        QCOMPARE(lyrics->pixmap().deviceIndependentSize().toSize(), window->size());
        QVERIFY2(lyrics->fitsToWindow(), "full screen's own setting, on at first");
        for (const QWidget *bar : bars)
            QVERIFY(bar->isHidden());
        QVERIFY(!window->findChild<QTimer *>("geometryTimer")->isActive());
        if (!leave)
            break;
        QTest::keyClick(window, Qt::Key(leaveKey));
        QTRY_COMPARE(QRect(window->pos(), window->size()), place);
        QVERIFY(!lyrics->fitsToWindow());
        for (const QWidget *bar : bars)
            QVERIFY(!bar->isHidden());
    }
    window->close();
    const Preferences *preferences = Preferences::Instance();
    QCOMPARE(QRect(preferences->mainWindowPosition(),
                   QSize(preferences->mainWindowWidth(), preferences->mainWindowHeight())),
             place);
}

void TestMainWindow::soundKeys_data()
{
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("field");
    QTest::addRow("none") << "" << "";
    QTest::addRow("up twice") << "+=" << "Key +2";
    QTest::addRow("down three times") << "---" << "Key -3";
    QTest::addRow("no further than 6 up") << "+++++++" << "Key +6";
    QTest::addRow("no further than 6 down") << "-------" << "Key -6";
    QTest::addRow("vocals") << "v" << "Vocals reduced";
    QTest::addRow("both") << "-v" << "Key -1, Vocals reduced";
    QTest::addRow("both, then the song's key and vocals back") << "+v0v" << "";
}

// The keys of the main window change the sound's settings, and the status bar's field shows them
// only while something is on.
void TestMainWindow::soundKeys()
{
    QFETCH(QString, keys);
    QFETCH(QString, field);
    QVERIFY(QTest::qWaitForWindowActive(window));
    QTest::keyClicks(window, keys);
    QCOMPARE(window->findChild<QLabel *>("soundLabel")->text(), field);
    QCOMPARE(MainWindow::soundText(SoundSettings::key(), SoundSettings::vocalsReduced()), field);
    SoundSettings::setKey(0);
    SoundSettings::setVocalsReduced(false);
}

// A library song starts at the gain its measurement asks for, exactly 1 with normalisation off;
// "Play Next" puts songs after the current one in the order chosen.
void TestMainWindow::librarySongsPlayAtEvenLoudness()
{
    const QString folder = dir.filePath("library"), loud = folder + "/loud.mp3";
    QVERIFY(QDir().mkpath(folder));
    Mp3Fixtures::Sine sine; // about -7 LUFS: to be lowered by some 11 dB
    QVERIFY(Mp3Fixtures::writeSine(loud, sine));
    LibraryIndex index;
    QVERIFY(index.addFolder(folder));
    {
        LibraryDatabase database(LibraryIndex::standardFileName());
        LibraryScanner scanner(database);
        scanner.setMeasureLoudness(true);
        QCOMPARE(scanner.scan(index.folders()).measured, 1);
    }
    const double gain = index.loudnessGain(loud);
    QVERIFY2(gain > 0.2 && gain < 0.4, qPrintable(QString::number(gain)));

    window->loadFile(loud);
    QTRY_VERIFY(MP3Object::hasAnInstance() && MP3Object::Instance()->fileName() == loud);
    QCOMPARE(SoundSettings::loudnessGain(), gain);
    QAction *normalisation = nullptr;
    for (QAction *action : window->findChildren<QAction *>())
        if (action->text() == "Loudness Normalisation")
            normalisation = action;
    QVERIFY(normalisation && normalisation->isChecked() &&
            window->menuBar()->actions()[3]->menu()->actions().contains(normalisation));
    normalisation->trigger();
    QVERIFY(SoundSettings::loudnessGain() == 1.0); // exactly: the samples pass untouched
    normalisation->trigger();
    QCOMPARE(SoundSettings::loudnessGain(), gain);

    emit window->findChild<LibraryWindow *>()->playNextRequested({"/a.mp3", "/b.mp3"});
    const auto *rows = PlayListWindow::Instance()->findChild<QListWidget *>();
    QCOMPARE(rows->count(), 3);
    QVERIFY(rows->item(1)->text().endsWith("/a.mp3") && rows->item(2)->text().endsWith("/b.mp3"));
    QVERIFY(index.removeFolder(folder));
}

// A singer queued a song from a phone: when the song playing ends, the stage names who sings
// next, then that song plays from the library in the key asked for, and the list is not advanced.
void TestMainWindow::partyPlaysTheNextSinger()
{
    const QString folder = dir.filePath("songbook"), queued = folder + "/queued.mp3";
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(Mp3Fixtures::writeFile(queued, Mp3Fixtures::emptyFrames(40)));
    QVERIFY(Mp3Fixtures::writeFile(dir.filePath("a.mp3"), Mp3Fixtures::emptyFrames(20)));
    QVERIFY(Mp3Fixtures::writeFile(dir.filePath("b.mp3"), Mp3Fixtures::emptyFrames(20)));
    QString failure;
    QVERIFY(PlayListFile::write(dir.filePath("list.playlist"),
                                {dir.filePath("a.mp3"), dir.filePath("b.mp3")}, failure));
    LibraryIndex index;
    QVERIFY(index.addFolder(folder));
    {
        LibraryDatabase database(LibraryIndex::standardFileName());
        LibraryScanner scanner(database);
        QCOMPARE(scanner.scan(index.folders()).added, 1);
    }
    const QList<LibrarySong> found = index.search("queued", 5);
    QCOMPARE(found.size(), 1);

    PartyController &party = window->findChild<PartyLink *>()->controller();
    QVERIFY(party.start(0, true));
    PartySong song;
    song.id = found[0].id;
    song.title = "queued";
    QCOMPARE(party.queue().add("<b>Lou</b>", "phone-lou-1", song, 2, QDateTime::currentDateTime()),
             PartyQueue::AddResult::Added);
    Preferences::Instance()->setAutoPlay(true);
    window->loadFile(dir.filePath("list.playlist"));
    QTRY_VERIFY(party.nextUpText().contains("<b>Lou</b>"));
    QCOMPARE(PlayListWindow::Instance()->currentSongFile(), dir.filePath("a.mp3"));
    QTRY_VERIFY_WITH_TIMEOUT(MP3Object::hasAnInstance() &&
                                 MP3Object::Instance()->fileName() == queued,
                             PartyController::cardMilliseconds + 5000);
    QCOMPARE(SoundSettings::key(), 2);
    QVERIFY(party.queue().entries().isEmpty());
    party.stop();
    SoundSettings::setKey(0);
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
