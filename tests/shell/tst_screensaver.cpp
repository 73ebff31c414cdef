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

namespace {

const QString serviceName = QStringLiteral("org.freedesktop.ScreenSaver");
const QString objectPath = QStringLiteral("/org/freedesktop/ScreenSaver");

// Answers on its own thread, as a real service answers from another process.
class FakeScreenSaver : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")

public:
    QStringList calls() const
    {
        QMutexLocker locker(&mutex); // guards the call log
        return log;
    }
    void setRefusing(bool refuse)
    {
        QMutexLocker locker(&mutex); // guards refusing
        refusing = refuse;
    }

public slots:
    uint Inhibit(const QString &application, const QString &reason)
    {
        QMutexLocker locker(&mutex); // guards the call log and the cookies
        if (refusing) {
            sendErrorReply(QDBusError::AccessDenied, QStringLiteral("no"));
            return 0;
        }
        log << QStringLiteral("Inhibit %1 (%2) -> %3").arg(application, reason).arg(nextCookie);
        return nextCookie++;
    }
    void UnInhibit(uint cookie)
    {
        QMutexLocker locker(&mutex); // guards the call log
        log << QStringLiteral("UnInhibit %1").arg(cookie);
    }

private:
    mutable QMutex mutex;
    QStringList log;
    uint nextCookie = 41;
    bool refusing = false;
};

// Collects the debug messages issued while it lives.
class DebugMessages
{
public:
    DebugMessages()
    {
        current = this;
        previous = qInstallMessageHandler(handler);
    }
    ~DebugMessages()
    {
        qInstallMessageHandler(previous);
        current = nullptr;
    }
    QStringList seen;

private:
    static void handler(QtMsgType type, const QMessageLogContext &context, const QString &text)
    {
        if (type == QtDebugMsg)
            current->seen << text;
        else
            current->previous(type, context, text);
    }
    static inline DebugMessages *current = nullptr;
    QtMessageHandler previous = nullptr;
};

QString busAddress;

} // namespace

class ScreenSaverTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();

    void withoutServiceEachOperationOnlyReports();
    void inhibitsOnceAndReleasesWhatItHolds();
    void refusedInhibitionIsReportedAndNotReleased();
    void serviceGoneWhileInhibited();

private:
    bool offerService();
    void withdrawService();

    QThread serviceThread;
    FakeScreenSaver *fake = nullptr;
};

void ScreenSaverTest::initTestCase()
{
    serviceThread.start();
}

void ScreenSaverTest::cleanupTestCase()
{
    withdrawService();
    serviceThread.quit();
    serviceThread.wait();
}

void ScreenSaverTest::cleanup()
{
    withdrawService();
}

bool ScreenSaverTest::offerService()
{
    fake = new FakeScreenSaver;
    fake->moveToThread(&serviceThread);
    QDBusConnection bus = QDBusConnection::connectToBus(busAddress, QStringLiteral("service"));
    return bus.registerObject(objectPath, fake, QDBusConnection::ExportAllSlots) &&
           bus.registerService(serviceName);
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

void ScreenSaverTest::withoutServiceEachOperationOnlyReports()
{
    DebugMessages messages;
    readScreenSaverSetting();
    suspendScreenSaver();
    restoreScreenSaver();
    QCOMPARE(messages.seen, (QStringList{"Unable to find original Screen Save Setting!",
                                         "Unable to set non screen saver mode!",
                                         "Unable to set screen save back to original mode!"}));
}

void ScreenSaverTest::inhibitsOnceAndReleasesWhatItHolds()
{
    QVERIFY(offerService());
    DebugMessages messages;
    readScreenSaverSetting();
    restoreScreenSaver(); // nothing held yet
    suspendScreenSaver();
    suspendScreenSaver();
    restoreScreenSaver();
    restoreScreenSaver();
    suspendScreenSaver();
    readScreenSaverSetting(); // forgets the inhibition: nothing to release afterwards
    restoreScreenSaver();
    QVERIFY(messages.seen.isEmpty());
    QCOMPARE(
        fake->calls(),
        (QStringList{"Inhibit Vantrel Kivo Player (Playing karaoke lyrics) -> 41", "UnInhibit 41",
                     "Inhibit Vantrel Kivo Player (Playing karaoke lyrics) -> 42"}));
}

void ScreenSaverTest::refusedInhibitionIsReportedAndNotReleased()
{
    QVERIFY(offerService());
    fake->setRefusing(true);
    DebugMessages messages;
    readScreenSaverSetting();
    suspendScreenSaver();
    restoreScreenSaver();
    QCOMPARE(messages.seen, QStringList{"Unable to set non screen saver mode!"});
    QVERIFY(fake->calls().isEmpty());
}

void ScreenSaverTest::serviceGoneWhileInhibited()
{
    QVERIFY(offerService());
    readScreenSaverSetting();
    suspendScreenSaver();
    QCOMPARE(fake->calls().size(), 1);
    withdrawService();
    DebugMessages messages;
    restoreScreenSaver();
    QCOMPARE(messages.seen, QStringList{"Unable to set screen save back to original mode!"});
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
