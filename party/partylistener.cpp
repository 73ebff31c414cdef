#include "partylistener.h"

#include "partyconnection.h"

#include <unistd.h>

PartyListener::PartyListener(std::shared_ptr<int> liveCount, QObject *parent)
    : QTcpServer(parent), live(std::move(liveCount))
{
}

void PartyListener::incomingConnection(qintptr descriptor)
{
    if (*live >= maxConnections) {
        ::close(int(descriptor));
        return;
    }
    auto *socket = new PartyConnection(live, this);
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        ::close(int(descriptor));
        return;
    }
    addPendingConnection(socket);
}
