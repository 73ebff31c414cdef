#ifndef PARTYLISTENER_H
#define PARTYLISTENER_H

#include <QTcpServer>

#include <memory>

// Accepts phones on one address for the party's HTTP server: a connection past maxConnections
// (counted over every listener sharing the count) is closed at once, every other one becomes a
// PartyConnection with its limits before the server sees it.
// GUI thread only.
class PartyListener : public QTcpServer
{
    Q_OBJECT

public:
    static constexpr int maxConnections = 100;

    explicit PartyListener(std::shared_ptr<int> liveCount, QObject *parent = nullptr);

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    std::shared_ptr<int> live;
};

#endif // PARTYLISTENER_H
