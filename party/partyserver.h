#ifndef PARTYSERVER_H
#define PARTYSERVER_H

#include "partyratelimit.h"

#include <QAbstractHttpServer>
#include <QHostAddress>
#include <QList>
#include <QSet>

#include <memory>

class PartyQueue;
class SongCatalog;
class QHttpServerResponder;
class QJsonObject;
class QUrlQuery;

// The party's web server: the singer's page and its JSON on the machine's LAN addresses and
// loopback. Every request must carry the party's key (?k=); without it the answer is 403 and
// nothing else. GET serves the page, its style and script, song searches and the queue; POST,
// with the key, a Host the server answers to and an Origin of that same host, adds and withdraws
// requests. A phone names itself with the id it keeps (&c=) and may hold PartyQueue::maxPerPhone
// songs in the queue; each address may make maxRequestsPerSecond requests. Connections are limited by
// PartyListener and PartyConnection. Every answer forbids other origins' content and sniffing.
// The parser of QHttpServer reads the requests; QHttpServer itself cannot be used as it hides
// the socket that the per-connection limits need.
// GUI thread only.
class PartyServer : public QAbstractHttpServer
{
    Q_OBJECT

public:
    static constexpr quint16 defaultPort = 8765;
    static constexpr int portsTried = 20;
    static constexpr int maxRequestsPerSecond = 20;
    static constexpr int searchResults = 20;
    static constexpr int maxSearchLength = 100;

    enum class Reach { LanAndLoopback, LoopbackOnly };

    PartyServer(const SongCatalog &catalog, PartyQueue &queue, QObject *parent = nullptr);
    ~PartyServer() override;

    // Listens on firstPort, or the first free one of the portsTried after it, on every address
    // of reach (0: one the system chooses); false when none was free.
    bool start(quint16 firstPort, Reach reach);
    quint16 port() const { return listeningPort; }
    QList<QHostAddress> addresses() const { return listeningAddresses; }
    void setKey(const QByteArray &key) { partyKey = key; }
    QByteArray key() const { return partyKey; }
    // http://ADDRESS:PORT/?k=KEY on the first LAN address (loopback when there is none).
    QString joinUrl() const;
    int connections() const { return *live; }

protected:
    bool handleRequest(const QHttpServerRequest &request, QTcpSocket *socket) override;
    void missingHandler(const QHttpServerRequest &request, QTcpSocket *socket) override;

private:
    bool listenAll(quint16 port, const QList<QHostAddress> &addresses);
    bool hostAllowed(const QByteArray &host) const;
    void answerGet(const QHttpServerRequest &request, const QUrlQuery &query,
                   QHttpServerResponder &responder, const QString &phone);
    void answerPost(const QHttpServerRequest &request, QHttpServerResponder &responder,
                    const QString &phone);
    QByteArray queueJson(const QString &phone) const;
    QByteArray searchJson(const QString &words) const;
    void addRequest(const QJsonObject &body, const QString &phone, QHttpServerResponder &responder);

    const SongCatalog &catalog;
    PartyQueue &queue;
    std::shared_ptr<int> live;
    QByteArray partyKey;
    quint16 listeningPort = 0;
    QList<QHostAddress> listeningAddresses;
    QSet<QByteArray> hosts;
    PartyRateLimit rateLimit{maxRequestsPerSecond};
};

#endif // PARTYSERVER_H
