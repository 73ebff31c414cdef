#include "partyconnection.h"

#include <QTcpSocket>
#include <QTimer>

PartyConnection::PartyConnection(std::shared_ptr<int> liveCount, QObject *parent)
    : QTcpSocket(parent), deadline(new QTimer(this)), live(std::move(liveCount))
{
    ++*live;
    deadline->setSingleShot(true);
    deadline->setInterval(idleMilliseconds);
    // The timer's own signal: it fires even when the server dropped its links to the socket.
    connect(deadline, &QTimer::timeout, this, [this] {
        abort();
        deleteLater();
    });
    deadline->start();
    connect(this, &QIODevice::readyRead, this, &PartyConnection::bytesArrived);
}

PartyConnection::~PartyConnection()
{
    --*live;
}

PartyConnection *PartyConnection::of(QTcpSocket *socket)
{
    return qobject_cast<PartyConnection *>(socket);
}

void PartyConnection::requestHandled()
{
    requestBytes = 0;
    deadline->start();
}

void PartyConnection::bytesArrived()
{
    if (refusedAlready)
        return;
    // The server reads everything on each readyRead, so what is waiting now is new.
    requestBytes += bytesAvailable();
    if (requestBytes > maxRequestBytes)
        refuse(QByteArrayLiteral("413 Payload Too Large"));
}

void PartyConnection::refuse(const QByteArray &statusLine)
{
    refusedAlready = true;
    QObject::disconnect(this, &QIODevice::readyRead, nullptr, nullptr);
    connect(this, &QAbstractSocket::disconnected, this, &QObject::deleteLater);
    write("HTTP/1.1 " + statusLine +
                  "\r\nContent-Length: 0\r\nConnection: close\r\n"
                  "Content-Security-Policy: default-src 'self'\r\n"
                  "X-Content-Type-Options: nosniff\r\n\r\n");
    disconnectFromHost();
}
