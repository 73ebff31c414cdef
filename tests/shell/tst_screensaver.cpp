// The screen-saver switch against a stand-in inhibition service on a private session bus.

#include "screensaver.h"

#include <QDBusConnection>
#include <QMutex>
#include <QProcess>
#include <QThread>
#include <QtTest>

#include <functional>
#include <map>

namespace {

QMutex eventsMutex;
QStringList events; // guarded by eventsMutex: our debug messages and the calls answered

void noteEvent(QtMsgType, const QMessageLogContext &, const QString &line)
{
    QMutexLocker locker(&eventsMutex); // guards the events
    events << line;
}

// Answers on its own thread, as a real service answers from another process.
class FakeScreenSaver : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")

public slots:
    uint Inhibit(const QString &application, const QString &reason)
    {
        noteEvent({}, {}, QStringLiteral("Inhibit %1 (%2)").arg(application, reason));
        return nextCookie++;
    }
    void UnInhibit(uint cookie) { noteEvent({}, {}, QStringLiteral("UnInhibit %1").arg(cookie)); }

private:
    uint nextCookie = 41; // only touched on the service's thread
};

} // namespace

class ScreenSaverTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void operations_data();
    void operations();

private:
    QProcess daemon; // the tests' own session bus, whatever the machine has
    QThread serviceThread;
};

void ScreenSaverTest::initTestCase()
{
    daemon.start(QStringLiteral("dbus-daemon"), {"--session", "--nofork", "--print-address=1"});
    QVERIFY(daemon.waitForStarted() && daemon.waitForReadyRead());
    qputenv("DBUS_SESSION_BUS_ADDRESS", daemon.readLine().trimmed());
    serviceThread.start();
}

void ScreenSaverTest::cleanupTestCase()
{
    serviceThread.quit();
    serviceThread.wait();
    daemon.close();
}

void ScreenSaverTest::operations_data()
{
    // The steps: r read the setting, s switch the saver off, b set it back, + offer the service,
    // ! offer one that answers every call with an error, - withdraw it.
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QStringList>("expected"); // debug messages and calls answered
    const QString inhibit = QStringLiteral("Inhibit Vantrel Kivo Player (Playing karaoke lyrics)");
    const QString noSetting = QStringLiteral("Unable to find original Screen Save Setting!");
    const QString noSuspend = QStringLiteral("Unable to set non screen saver mode!");
    const QString noRestore = QStringLiteral("Unable to set screen save back to original mode!");
    // Nothing held is not released; reading again forgets the inhibition.
    QTest::addRow("inhibits once, releases what it holds")
        << "+rbssbbsrb-" << QStringList{inhibit, "UnInhibit 41", inhibit};
    QTest::addRow("refused: reported, nothing to release") << "!rsb-" << QStringList{noSuspend};
    QTest::addRow("no service: each step only reports; then one gone while inhibited")
        << "rsb+rs-b" << QStringList{noSetting, noSuspend, noRestore, inhibit, noRestore};
}

// The stand-in answers on our own connection: the calls still go through the bus, and a name
// given up is gone as soon as the call giving it up returns.
void ScreenSaverTest::operations()
{
    QFETCH(QString, steps);
    QFETCH(QStringList, expected);
    const QString name = QStringLiteral("org.freedesktop.ScreenSaver");
    const QString path = QStringLiteral("/org/freedesktop/ScreenSaver");
    QDBusConnection bus = QDBusConnection::sessionBus();
    const auto offer = [&](QObject *service) {
        service->moveToThread(&serviceThread);
        connect(&serviceThread, &QThread::finished, service, &QObject::deleteLater);
        QVERIFY(bus.registerObject(path, service, QDBusConnection::ExportAllSlots));
        QVERIFY(bus.registerService(name));
    };
    const std::map<char, std::function<void()>> perform{{'r', readScreenSaverSetting},
                                                        {'s', suspendScreenSaver},
                                                        {'b', restoreScreenSaver},
                                                        {'+', [&] { offer(new FakeScreenSaver); }},
                                                        {'!', [&] { offer(new QObject); }},
                                                        {'-', [&] {
                                                             bus.unregisterService(name);
                                                             bus.unregisterObject(path);
                                                         }}};
    events.clear(); // no service is running
    const QtMessageHandler testHandler = qInstallMessageHandler(noteEvent);
    for (QChar step : steps)
        perform.at(step.toLatin1())();
    qInstallMessageHandler(testHandler);
    QMutexLocker locker(&eventsMutex); // guards the events
    QCOMPARE(events, expected);
}

QTEST_GUILESS_MAIN(ScreenSaverTest)
#include "tst_screensaver.moc"
