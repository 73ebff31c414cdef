// The screen-saver switch against a stand-in inhibition service on a private session bus.

#include "screensaver.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QMutex>
#include <QProcess>
#include <QThread>
#include <QtTest>

#include <functional>
#include <map>

namespace {

const QString serviceName = QStringLiteral("org.freedesktop.ScreenSaver");
const QString objectPath = QStringLiteral("/org/freedesktop/ScreenSaver");

QMutex serviceMutex;
QStringList serviceCalls; // guarded by serviceMutex: every call any stand-in service answered

// Answers on its own thread, as a real service answers from another process.
class FakeScreenSaver : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")

public:
    explicit FakeScreenSaver(bool refusing) : refusing(refusing) {}

public slots:
    uint Inhibit(const QString &application, const QString &reason)
    {
        if (refusing) {
            sendErrorReply(QDBusError::AccessDenied, QStringLiteral("no"));
            return 0;
        }
        QMutexLocker locker(&serviceMutex); // guards the call log
        serviceCalls
            << QStringLiteral("Inhibit %1 (%2) -> %3").arg(application, reason).arg(nextCookie);
        return nextCookie++;
    }
    void UnInhibit(uint cookie)
    {
        QMutexLocker locker(&serviceMutex); // guards the call log
        serviceCalls << QStringLiteral("UnInhibit %1").arg(cookie);
    }

private:
    const bool refusing;
    uint nextCookie = 41; // only touched on the service's thread
};

QStringList debugMessages;
QtMessageHandler previousHandler = nullptr;
void collectDebug(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type == QtDebugMsg)
        debugMessages << text;
    else
        previousHandler(type, context, text);
}

QString busAddress;

} // namespace

class ScreenSaverTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup() { withdrawService(); }

    void operations_data();
    void operations();

private:
    void offerService(bool refusing);
    void withdrawService();

    QThread serviceThread;
    FakeScreenSaver *fake = nullptr;
};

void ScreenSaverTest::initTestCase()
{
    serviceThread.start();
    previousHandler = qInstallMessageHandler(collectDebug);
}

void ScreenSaverTest::cleanupTestCase()
{
    qInstallMessageHandler(previousHandler);
    withdrawService();
    serviceThread.quit();
    serviceThread.wait();
}

void ScreenSaverTest::offerService(bool refusing)
{
    fake = new FakeScreenSaver(refusing);
    fake->moveToThread(&serviceThread);
    QDBusConnection bus = QDBusConnection::connectToBus(busAddress, QStringLiteral("service"));
    QVERIFY(bus.registerObject(objectPath, fake, QDBusConnection::ExportAllSlots));
    QVERIFY(bus.registerService(serviceName));
}

void ScreenSaverTest::withdrawService()
{
    if (!fake)
        return;
    QDBusConnection bus(QStringLiteral("service"));
    bus.unregisterService(serviceName);
    bus.unregisterObject(objectPath);
    QDBusConnection::disconnectFromBus(QStringLiteral("service"));
    QMetaObject::invokeMethod(fake, &QObject::deleteLater);
    fake = nullptr;
    // Our own connection learns that the name left before the next test asks for it.
    QTRY_VERIFY(!QDBusConnection::sessionBus().interface()->isServiceRegistered(serviceName));
}

void ScreenSaverTest::operations_data()
{
    // The steps: r read the setting, s switch the saver off, b set it back, + offer the service,
    // ! offer a service that refuses, - withdraw it.
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QStringList>("calls");
    const QString inhibit =
        QStringLiteral("Inhibit Vantrel Kivo Player (Playing karaoke lyrics) -> ");
    QTest::addRow("no service: each operation only reports")
        << "rsb"
        << QStringList{"Unable to find original Screen Save Setting!",
                       "Unable to set non screen saver mode!",
                       "Unable to set screen save back to original mode!"}
        << QStringList();
    // Nothing held is not released; reading again forgets the inhibition.
    QTest::addRow("inhibits once, releases what it holds")
        << "+rbssbbsrb" << QStringList()
        << QStringList{inhibit + "41", "UnInhibit 41", inhibit + "42"};
    QTest::addRow("refused: reported, nothing to release")
        << "!rsb" << QStringList{"Unable to set non screen saver mode!"} << QStringList();
    QTest::addRow("service gone while inhibited")
        << "+rs-b" << QStringList{"Unable to set screen save back to original mode!"}
        << QStringList{inhibit + "41"};
}

void ScreenSaverTest::operations()
{
    QFETCH(QString, steps);
    QFETCH(QStringList, messages);
    QFETCH(QStringList, calls);
    serviceCalls.clear(); // no service is running
    debugMessages.clear();
    const std::map<char, std::function<void()>> perform{{'r', readScreenSaverSetting},
                                                        {'s', suspendScreenSaver},
                                                        {'b', restoreScreenSaver},
                                                        {'+', [this] { offerService(false); }},
                                                        {'!', [this] { offerService(true); }},
                                                        {'-', [this] { withdrawService(); }}};
    for (QChar step : steps)
        perform.at(step.toLatin1())();
    withdrawService();
    QCOMPARE(debugMessages, messages);
    QMutexLocker locker(&serviceMutex); // guards the call log
    QCOMPARE(serviceCalls, calls);
}

// The tests get a session bus of their own, whatever the machine has.
int main(int argc, char **argv)
{
    QProcess daemon;
    daemon.start(QStringLiteral("dbus-daemon"),
                 {QStringLiteral("--session"), QStringLiteral("--nofork"),
                  QStringLiteral("--nopidfile"), QStringLiteral("--print-address=1")});
    if (!daemon.waitForStarted() || !daemon.waitForReadyRead()) {
        qCritical("dbus-daemon did not start");
        return 1;
    }
    busAddress = QString::fromLocal8Bit(daemon.readLine().trimmed());
    qputenv("DBUS_SESSION_BUS_ADDRESS", busAddress.toLocal8Bit());

    int result = 0;
    {
        QCoreApplication application(argc, argv);
        ScreenSaverTest test;
        result = QTest::qExec(&test, argc, argv);
    }
    daemon.terminate();
    daemon.waitForFinished();
    return result;
}

#include "tst_screensaver.moc"
