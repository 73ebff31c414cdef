#ifndef PARTYCONNECTION_H
#define PARTYCONNECTION_H

#include <QTcpSocket>

#include <memory>

class QTimer;

// One phone's connection with its limits: the request that grows past
// maxRequestBytes is answered 413 and the connection closed; a connection with no complete
// request for idleMilliseconds (slow, half-open or idle) is closed. (A request the HTTP parser
// gives up on is closed by the server unanswered.) Counts itself in the listeners' shared count while it
// lives.
// GUI thread only.
class PartyConnection : public QTcpSocket
{
    Q_OBJECT

public:
    static constexpr qint64 maxRequestBytes = 8 * 1024;
    static constexpr int idleMilliseconds = 10000;

    // Made before the HTTP server connects to it, so that it sees the bytes first.
    PartyConnection(std::shared_ptr<int> liveCount, QObject *parent);
    ~PartyConnection() override;

    // The socket as a party connection, or null.
    static PartyConnection *of(QTcpSocket *socket);

    // A whole request arrived and is being answered: the byte count and the deadline start over.
    void requestHandled();
    bool refused() const { return refusedAlready; }

private:
    void bytesArrived();
    // Answers with status and closes, reading nothing more.
    void refuse(const QByteArray &statusLine);

    QTimer *deadline = nullptr;
    std::shared_ptr<int> live;
    qint64 requestBytes = 0;
    bool refusedAlready = false;
};

#endif // PARTYCONNECTION_H
