#include "screensaver.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QString>
#include <QtDebug>

int savedScreenSaverActive = 1;

namespace {

const QString service = QStringLiteral("org.freedesktop.ScreenSaver");
const QString path = QStringLiteral("/org/freedesktop/ScreenSaver");
constexpr int callTimeoutMs = 3000;

bool holdingInhibition = false;
uint inhibitionCookie = 0;

bool serviceAvailable()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface())
        return false;
    return bus.interface()->isServiceRegistered(service).value();
}

QDBusMessage callService(const QString &method, const QVariantList &arguments)
{
    QDBusMessage call = QDBusMessage::createMethodCall(service, path, service, method);
    call.setArguments(arguments);
    return QDBusConnection::sessionBus().call(call, QDBus::Block, callTimeoutMs);
}

} // namespace

void readScreenSaverSetting()
{
    savedScreenSaverActive = 1;
    holdingInhibition = false;
    if (!serviceAvailable())
        qDebug("Unable to find original Screen Save Setting!");
}

void suspendScreenSaver()
{
    if (!serviceAvailable()) {
        qDebug("Unable to set non screen saver mode!");
        return;
    }
    if (holdingInhibition)
        return;
    const QDBusMessage reply =
        callService(QStringLiteral("Inhibit"), {QStringLiteral("Vantrel Kivo Player"),
                                                QStringLiteral("Playing karaoke lyrics")});
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        qDebug("Unable to set non screen saver mode!");
        return;
    }
    inhibitionCookie = reply.arguments().constFirst().toUInt();
    holdingInhibition = true;
}

void restoreScreenSaver()
{
    if (!serviceAvailable()) {
        qDebug("Unable to set screen save back to original mode!");
        return;
    }
    if (!holdingInhibition || !savedScreenSaverActive)
        return;
    const QDBusMessage reply = callService(QStringLiteral("UnInhibit"), {inhibitionCookie});
    if (reply.type() != QDBusMessage::ReplyMessage) {
        qDebug("Unable to set screen save back to original mode!");
        return;
    }
    holdingInhibition = false;
}
