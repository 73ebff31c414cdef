// The player's controls on the session bus as another program meets them: a client on its own
// connection to the test's private bus calls the methods and keeps the player's properties from
// PropertiesChanged alone, as a desktop media widget does; both views must agree with the truth.

#include "entry.h"
#include "mainwindow.h"
#include "modalanswers.h"
#include "mp3fixtures.h"
#include "playlistfile.h"
#include "preferences.h"
#include "soundsettings.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QAction>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <taglib/fileref.h>
#include <taglib/tag.h>

#include <algorithm>
#include <limits>
#include <memory>

namespace {

const QString service = QStringLiteral("org.mpris.MediaPlayer2.vantrelkivo");
const QString root = QStringLiteral("org.mpris.MediaPlayer2");
const QString player = QStringLiteral("org.mpris.MediaPlayer2.Player");
const QString properties = QStringLiteral("org.freedesktop.DBus.Properties");

QString shown(const QVariant &value)
{
    if (value.canConvert<QDBusObjectPath>())
        return value.value<QDBusObjectPath>().path();
    if (value.canConvert<QStringList>() && value.userType() != QMetaType::QString)
        return value.toStringList().join(',');
    return value.toString();
}

QVariantMap metadataOf(const QVariantMap &properties)
{
    return qdbus_cast<QVariantMap>(properties.value(QStringLiteral("Metadata")));
}

// "status | title | what can be called".
QString stateOf(const QVariantMap &properties)
{
    QStringList can;
    for (const char *what : {"Play", "Pause", "GoNext", "GoPrevious", "Seek"}) {
        if (properties.value(QLatin1String("Can") + QLatin1String(what)).toBool())
            can << QLatin1String(what);
    }
    return properties.value(QStringLiteral("PlaybackStatus")).toString() + " | " +
           metadataOf(properties).value(QStringLiteral("xesam:title")).toString() + " | " +
           can.join(' ');
}

} // namespace

// The other program: calls the player and mirrors its properties from the signals.
class Client : public QObject
{
    Q_OBJECT

public:
    explicit Client(const QString &address)
        : bus(QDBusConnection::connectToBus(address, QStringLiteral("client")))
    {
        mirror = all(player);
        // QtDBus delivers bus signals only to slots named by signature.
        bus.connect(service, QStringLiteral("/org/mpris/MediaPlayer2"), properties,
                    QStringLiteral("PropertiesChanged"), this,
                    SLOT(changed(QString, QVariantMap, QStringList)));
        bus.connect(service, QStringLiteral("/org/mpris/MediaPlayer2"), player,
                    QStringLiteral("Seeked"), this, SLOT(seeked(qlonglong)));
    }
    ~Client() override { QDBusConnection::disconnectFromBus(QStringLiteral("client")); }

    // The player answers on this very thread, so the event loop runs while the call waits.
    QDBusMessage call(const QString &interface, const QString &method,
                      const QVariantList &arguments = {})
    {
        QDBusMessage message = QDBusMessage::createMethodCall(
            service, QStringLiteral("/org/mpris/MediaPlayer2"), interface, method);
        message.setArguments(arguments);
        return bus.call(message, QDBus::BlockWithGui);
    }
    QVariantMap all(const QString &interface)
    {
        return qdbus_cast<QVariantMap>(
            call(properties, QStringLiteral("GetAll"), {interface}).arguments().value(0));
    }

    QDBusConnection bus;
    QVariantMap mirror;     // the player's properties as announced
    QList<qlonglong> seeks; // positions announced by Seeked

public slots:
    void changed(const QString &, const QVariantMap &changes, const QStringList &)
    {
        for (auto change = changes.cbegin(); change != changes.cend(); ++change)
            mirror.insert(change.key(), change.value());
    }
    void seeked(qlonglong position) { seeks << position; }
};

class MprisTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();
    void propertiesOfALoadedSong_data();
    void propertiesOfALoadedSong();
    void calls_data();
    void calls();
    void setPositionMovesThePlayingSong();
    void volumeWrittenAndAnnounced();
    void quitClosesTheWindow();

private:
    QProcess daemon; // the test's own session bus
    QByteArray address;
    QTemporaryDir dir;
    MainWindow *window = nullptr;
    std::unique_ptr<Client> client; // one per test
};

// One window for the whole run, with the list of a tagged and an untagged song.
void MprisTest::initTestCase()
{
    daemon.start(QStringLiteral("dbus-daemon"), {"--session", "--nofork", "--print-address=1"});
    QVERIFY(daemon.waitForStarted() && daemon.waitForReadyRead());
    address = daemon.readLine().trimmed();
    qputenv("DBUS_SESSION_BUS_ADDRESS", address);

    Mp3Fixtures::Sine sine;
    sine.seconds = 3;
    QVERIFY(Mp3Fixtures::writeSine(dir.filePath("first.mp3"), sine));
    QVERIFY(Mp3Fixtures::writeSine(dir.filePath("second.mp3"), sine));
    TagLib::FileRef tagged(QFile::encodeName(dir.filePath("first.mp3")).constData());
    tagged.tag()->setTitle(TagLib::String("Kivo Test Song"));
    tagged.tag()->setArtist(TagLib::String("The Testers"));
    tagged.tag()->setAlbum(TagLib::String("Fixtures"));
    QVERIFY(tagged.save());
    QString failure;
    QVERIFY(PlayListFile::write(dir.filePath("two.playlist"),
                                {dir.filePath("first.mp3"), dir.filePath("second.mp3")}, failure));
    QVERIFY(Mp3Fixtures::writeFile(dir.filePath("bad.playlist"), "not a list"));

    QCOMPARE(createClassMutexes(), 0);
    QVERIFY(Preferences::Instance(dir.filePath("test.preferences")));
    Preferences::Instance()->setAutoPlay(false);
    window = MainWindow::Instance();
    window->show();
}

// The list loaded afresh, its first song stopped at its start; a new client.
void MprisTest::init()
{
    client = std::make_unique<Client>(QString::fromLatin1(address));
    client->call(player, "Stop");
    Answers answers({"PlayListChangedBox=no"}); // when a row left a song loaded alone
    window->loadFile(dir.filePath("two.playlist"));
    const QString loaded = QStringLiteral("Stopped | Kivo Test Song | Play Pause GoNext Seek");
    QTRY_COMPARE(stateOf(client->all(player)) + " / " + stateOf(client->mirror),
                 loaded + " / " + loaded);
}

void MprisTest::cleanup()
{
    client.reset();
}

void MprisTest::cleanupTestCase()
{
    Answers answers({"PlayListChangedBox=no"}); // in case the list is not the one loaded
    if (window->isVisible())
        window->close();
    destroyInstances();
    daemon.close();
}

// Each value as an anchored pattern.
void MprisTest::propertiesOfALoadedSong_data()
{
    QTest::addColumn<QString>("property"); // Metadata's entries as "Metadata/key"
    QTest::addColumn<QString>("pattern");
    const std::pair<const char *, QString> rows[] = {
        {"Identity", "Vantrel Kivo Player"},
        {"DesktopEntry", "vantrelkivo"},
        {"SupportedUriSchemes", "file"},
        {"SupportedMimeTypes", "audio/mpeg,.+"},
        {"CanQuit", "true"},
        {"CanRaise", "true"},
        {"CanControl", "true"},
        {"Position", "0"},
        {"Volume", "1"},
        {"Metadata/mpris:trackid", "/org/vantrelkivo/track/\\d+"},
        {"Metadata/mpris:length", "30\\d\\d\\d\\d\\d"}, // 3 s and at most a few frames
        {"Metadata/xesam:url",
         QRegularExpression::escape(QUrl::fromLocalFile(dir.filePath("first.mp3")).toString())},
        {"Metadata/xesam:title", "Kivo Test Song"},
        {"Metadata/xesam:artist", "The Testers"},
        {"Metadata/xesam:album", "Fixtures"}};
    for (const auto &[property, pattern] : rows)
        QTest::addRow("%s", property) << QString(property) << pattern;
}

void MprisTest::propertiesOfALoadedSong()
{
    QFETCH(QString, property);
    QFETCH(QString, pattern);
    QVariantMap all = client->all(root);
    all.insert(client->all(player));
    const QString value = property.startsWith("Metadata/")
                              ? shown(metadataOf(all).value(property.mid(9)))
                              : shown(all.value(property));
    QVERIFY2(
        QRegularExpression(QRegularExpression::anchoredPattern(pattern)).match(value).hasMatch(),
        qPrintable(value));
}

// Calls, each followed by the state it leads to; a call the player does nothing for leaves it
// as it was. "Wait ms" lets the song play on; "OpenUri*3 uri" makes three calls at once, of which
// only the first is taken. The boxes the row's calls raise are answered in order.
void MprisTest::calls_data()
{
    QTest::addColumn<QStringList>("steps"); // call, state, call, state...
    QTest::addColumn<QStringList>("boxes");
    const QString loaded = QStringLiteral("Stopped | Kivo Test Song | Play Pause GoNext Seek");
    const QString playing = QStringLiteral("Playing | Kivo Test Song | Play Pause GoNext Seek");
    const QString paused = QStringLiteral("Paused | Kivo Test Song | Play Pause GoNext Seek");
    const QString second = QStringLiteral(" | second.mp3 | Play Pause GoPrevious Seek");
    const QString largest = QString::number(std::numeric_limits<qlonglong>::max());
    QTest::addRow("PlayPause in every state, Play while playing, Pause while stopped")
        << QStringList{"PlayPause", playing, "Play", playing, "PlayPause", paused,
                       "PlayPause", playing, "Stop", loaded, "Pause", loaded, "PlayPause", playing}
        << QStringList();
    QTest::addRow("Previous at the first song does nothing")
        << QStringList{"Previous", loaded, "PlayPause", playing} << QStringList();
    QTest::addRow("Next and Previous move the playlist")
        << QStringList{"Next", "Stopped" + second, "Previous", loaded} << QStringList();
    QTest::addRow("Seek keeps a paused song paused")
        << QStringList{"Play", playing, "Pause", paused, "Seek 1000000", paused} << QStringList();
    QTest::addRow("Seek past the end moves on")
        << QStringList{"Seek 60000000", "Stopped" + second} << QStringList();
    QTest::addRow("Seek by the largest offset while playing moves on")
        << QStringList{"Play", playing, "Wait 300", playing, "Seek " + largest, "Stopped" + second}
        << QStringList();
    QTest::addRow("Seek past the end of the last song stops it")
        << QStringList{"Next", "Stopped" + second, "Play", "Playing" + second, "Wait 300",
                       "Playing" + second, "Seek " + largest, "Stopped" + second}
        << QStringList();
    QTest::addRow("OpenUri opens a file as Load does")
        << QStringList{"OpenUri " + QUrl::fromLocalFile(dir.filePath("second.mp3")).toString(),
                       "Stopped | second.mp3 | Play Pause Seek"}
        << QStringList();
    QTest::addRow("OpenUri of a damaged list, again and again: one box")
        << QStringList{"OpenUri*3 " + QUrl::fromLocalFile(dir.filePath("bad.playlist")).toString(),
                       loaded}
        << QStringList{"PlayListFileErrorBox=ok"};
}

void MprisTest::calls()
{
    QFETCH(QStringList, steps);
    QFETCH(QStringList, boxes);
    Answers answers(boxes);
    for (int i = 0; i + 1 < steps.size(); i += 2) {
        QString method = steps[i].section(' ', 0, 0);
        const QString argument = steps[i].section(' ', 1);
        const int times = method.section('*', 1).toInt();
        method = method.section('*', 0, 0);
        QVariantList arguments;
        if (!argument.isEmpty())
            arguments << (method == "Seek" ? QVariant(argument.toLongLong()) : QVariant(argument));
        if (method == "Wait") {
            QTest::qWait(argument.toInt());
        } else if (times > 1) {
            QDBusMessage message = QDBusMessage::createMethodCall(
                service, QStringLiteral("/org/mpris/MediaPlayer2"), player, method);
            message.setArguments(arguments);
            QList<QDBusPendingCall> pending;
            for (int call = 0; call < times; ++call)
                pending << client->bus.asyncCall(message);
            for (qsizetype call = 0; call < pending.size(); ++call) {
                QTRY_VERIFY(pending[call].isFinished());
                QCOMPARE(pending[call].isError(), call > 0);
            }
        } else {
            const QDBusMessage reply = client->call(player, method, arguments);
            QVERIFY2(reply.type() == QDBusMessage::ReplyMessage, qPrintable(reply.errorMessage()));
        }
        // Sooner than a 3 s song could reach its end by playing on.
        QTRY_COMPARE_WITH_TIMEOUT(stateOf(client->all(player)) + " / " + stateOf(client->mirror),
                                  steps[i + 1] + " / " + steps[i + 1], 2000);
    }
    QTRY_VERIFY(answers.steps.isEmpty());
    QTest::qWait(100); // a box raised late would show by now
    QCOMPARE(answers.unexpected, QStringList());
}

// Set to 1 s while playing: announced within a frame of 1 s, and the song plays on from there.
void MprisTest::setPositionMovesThePlayingSong()
{
    client->call(player, "Play");
    const QVariant track = metadataOf(client->all(player)).value("mpris:trackid");
    client->call(player, "SetPosition", {track, qlonglong(1000000)});
    const auto nearOneSecond = [](qlonglong position) { return qAbs(position - 1000000) <= 13062; };
    QTRY_VERIFY(std::any_of(client->seeks.cbegin(), client->seeks.cend(), nearOneSecond));
    const qlonglong seeked =
        *std::find_if(client->seeks.cbegin(), client->seeks.cend(), nearOneSecond);
    QTRY_VERIFY(client->all(player).value("Position").toLongLong() > seeked);
    QCOMPARE(stateOf(client->all(player)), "Playing | Kivo Test Song | Play Pause GoNext Seek");
}

// Set by the other program it is the player's volume, unmuting it; muting is announced as 0.
void MprisTest::volumeWrittenAndAnnounced()
{
    const auto setVolume = [this](double volume) {
        const QDBusMessage reply = client->call(
            properties, "Set", {player, "Volume", QVariant::fromValue(QDBusVariant(volume))});
        QVERIFY2(reply.type() == QDBusMessage::ReplyMessage, qPrintable(reply.errorMessage()));
    };
    setVolume(0.25);
    QTRY_COMPARE(client->mirror.value("Volume").toDouble(), 0.25);
    QCOMPARE(SoundSettings::volume(), 25);
    for (QAction *action : window->findChildren<QAction *>()) {
        if (action->text() == "&Mute")
            action->trigger();
    }
    QTRY_COMPARE(client->mirror.value("Volume").toDouble(), 0.0);
    setVolume(7.0);
    QTRY_COMPARE(client->mirror.value("Volume").toDouble(), 1.0);
    QVERIFY(!SoundSettings::muted());
}

// Last: the window stays closed.
void MprisTest::quitClosesTheWindow()
{
    client->call(root, "Quit");
    QTRY_VERIFY(!window->isVisible());
}

QTEST_MAIN(MprisTest)
#include "tst_mpris.moc"
