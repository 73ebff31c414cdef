#include "partyserver.h"

#include "partyconnection.h"
#include "partykey.h"
#include "partylistener.h"
#include "partyqueue.h"
#include "songcatalog.h"

#include <QDateTime>
#include <QFile>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkInterface>
#include <QTcpSocket>
#include <QUrlQuery>

using Status = QHttpServerResponder::StatusCode;

// The page lives in this static library's resources, which register only when asked.
static void loadPageResources()
{
    Q_INIT_RESOURCE(party);
}

namespace {

const QByteArray jsonType = QByteArrayLiteral("application/json");

void send(QHttpServerResponder &responder, Status status, const QByteArray &type = QByteArray(),
          const QByteArray &body = QByteArray())
{
    responder.writeStatusLine(status);
    if (!type.isEmpty())
        responder.writeHeader(QByteArrayLiteral("Content-Type"), type);
    responder.writeHeader(QByteArrayLiteral("Content-Length"), QByteArray::number(body.size()));
    responder.writeHeader(QByteArrayLiteral("Content-Security-Policy"),
                          QByteArrayLiteral("default-src 'self'"));
    responder.writeHeader(QByteArrayLiteral("X-Content-Type-Options"),
                          QByteArrayLiteral("nosniff"));
    responder.writeHeader(QByteArrayLiteral("Referrer-Policy"), QByteArrayLiteral("no-referrer"));
    responder.writeHeader(QByteArrayLiteral("Cache-Control"), QByteArrayLiteral("no-store"));
    responder.writeBody(body);
}

void sendError(QHttpServerResponder &responder, Status status, const char *error)
{
    send(responder, status, jsonType,
         QJsonDocument(QJsonObject{{QStringLiteral("error"), QLatin1String(error)}})
             .toJson(QJsonDocument::Compact));
}

QByteArray resource(const QString &name)
{
    loadPageResources();
    QFile file(QStringLiteral(":/party/page/") + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QList<QHostAddress> addressesFor(PartyServer::Reach reach)
{
    QList<QHostAddress> addresses{QHostAddress(QHostAddress::LocalHost)};
    if (reach == PartyServer::Reach::LoopbackOnly)
        return addresses;
    const auto interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface &interface : interfaces) {
        const auto flags = interface.flags();
        if (!flags.testFlag(QNetworkInterface::IsUp) || flags.testFlag(QNetworkInterface::IsLoopBack))
            continue;
        const auto entries = interface.addressEntries();
        for (const QNetworkAddressEntry &entry : entries) {
            const QHostAddress address = entry.ip();
            if (address.protocol() == QAbstractSocket::IPv4Protocol && !address.isLinkLocal())
                addresses.prepend(address);
        }
    }
    return addresses;
}

} // namespace

PartyServer::PartyServer(const SongCatalog &catalog, PartyQueue &queue, QObject *parent)
    : QAbstractHttpServer(parent), catalog(catalog), queue(queue), live(std::make_shared<int>(0))
{
}

PartyServer::~PartyServer() = default;

bool PartyServer::start(quint16 firstPort, Reach reach)
{
    const QList<QHostAddress> addresses = addressesFor(reach);
    for (int tried = 0; tried < portsTried && firstPort + tried <= 65535; ++tried) {
        if (listenAll(quint16(firstPort + tried), addresses))
            return true;
    }
    return false;
}

bool PartyServer::listenAll(quint16 port, const QList<QHostAddress> &addresses)
{
    QList<PartyListener *> listeners;
    for (const QHostAddress &address : addresses) {
        auto *listener = new PartyListener(live, this);
        listeners.append(listener);
        if (!listener->listen(address, port)) {
            qDeleteAll(listeners);
            return false;
        }
        // Port 0: the one the system chose, for every address.
        port = listener->serverPort();
    }
    for (PartyListener *listener : std::as_const(listeners))
        bind(listener);
    listeningPort = port;
    listeningAddresses = addresses;
    hosts.clear();
    const QByteArray portText = ':' + QByteArray::number(port);
    hosts.insert("localhost" + portText);
    for (const QHostAddress &address : addresses)
        hosts.insert(address.toString().toLatin1() + portText);
    return true;
}

QString PartyServer::joinUrl() const
{
    if (listeningAddresses.isEmpty())
        return QString();
    return QStringLiteral("http://%1:%2/?k=%3")
        .arg(listeningAddresses.constFirst().toString())
        .arg(listeningPort)
        .arg(QString::fromLatin1(partyKey));
}

bool PartyServer::hostAllowed(const QByteArray &host) const
{
    return hosts.contains(host.toLower());
}

bool PartyServer::handleRequest(const QHttpServerRequest &request, QTcpSocket *socket)
{
    if (PartyConnection *connection = PartyConnection::of(socket)) {
        if (connection->refused())
            return true;
        connection->requestHandled();
    }
    QHttpServerResponder responder = makeResponder(request, socket);
    // Forms and URLSearchParams write a space as '+'.
    const QUrlQuery query(request.url().query(QUrl::FullyEncoded).replace(u'+', QStringLiteral("%20")));
    if (!PartyKey::matches(query.queryItemValue(QStringLiteral("k")).toLatin1(), partyKey) ||
        !hostAllowed(request.value(QByteArrayLiteral("Host")))) {
        send(responder, Status::Forbidden);
        return true;
    }
    // Counted by address: a phone that makes up new ids is still one phone.
    if (!rateLimit.allow(request.remoteAddress().toString(),
                        QDateTime::currentMSecsSinceEpoch())) {
        sendError(responder, Status::TooManyRequests, "slow down");
        return true;
    }
    const QString phoneId = query.queryItemValue(QStringLiteral("c"));
    switch (request.method()) {
    case QHttpServerRequest::Method::Get:
        answerGet(request, query, responder, phoneId);
        break;
    case QHttpServerRequest::Method::Post:
        answerPost(request, responder, phoneId);
        break;
    default:
        send(responder, Status::MethodNotAllowed);
    }
    return true;
}

void PartyServer::missingHandler(const QHttpServerRequest &request, QTcpSocket *socket)
{
    QHttpServerResponder responder = makeResponder(request, socket);
    send(responder, Status::NotFound);
}

void PartyServer::answerGet(const QHttpServerRequest &request, const QUrlQuery &query,
                            QHttpServerResponder &responder, const QString &phone)
{
    static const QByteArray page = resource(QStringLiteral("index.html"));
    static const QByteArray style = resource(QStringLiteral("page.css"));
    static const QByteArray script = resource(QStringLiteral("page.js"));
    const QString path = request.url().path();
    if (path == QLatin1String("/")) {
        send(responder, Status::Ok, "text/html; charset=utf-8",
             QByteArray(page).replace("@KEY@", partyKey));
    } else if (path == QLatin1String("/page.css")) {
        send(responder, Status::Ok, "text/css; charset=utf-8", style);
    } else if (path == QLatin1String("/page.js")) {
        send(responder, Status::Ok, "text/javascript; charset=utf-8", script);
    } else if (path == QLatin1String("/api/songs")) {
        const QString words = query.queryItemValue(QStringLiteral("q"), QUrl::FullyDecoded);
        send(responder, Status::Ok, jsonType, searchJson(words.left(maxSearchLength)));
    } else if (path == QLatin1String("/api/queue")) {
        send(responder, Status::Ok, jsonType, queueJson(phone));
    } else {
        send(responder, Status::NotFound);
    }
}

void PartyServer::answerPost(const QHttpServerRequest &request, QHttpServerResponder &responder,
                             const QString &phone)
{
    // Same origin only: a page elsewhere that learned the key cannot make a phone's browser post.
    const QByteArray origin = request.value(QByteArrayLiteral("Origin")).toLower();
    const QByteArray host = request.value(QByteArrayLiteral("Host")).toLower();
    if (origin != "http://" + host) {
        send(responder, Status::Forbidden);
        return;
    }
    if (!request.value(QByteArrayLiteral("Content-Type")).startsWith(jsonType)) {
        send(responder, Status::UnsupportedMediaType);
        return;
    }
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(request.body(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        sendError(responder, Status::BadRequest, "not a JSON object");
        return;
    }
    const QJsonObject body = document.object();
    const QString path = request.url().path();
    if (path == QLatin1String("/api/queue")) {
        addRequest(body, phone, responder);
    } else if (path == QLatin1String("/api/withdraw")) {
        const bool withdrawn = queue.withdraw(qint64(body.value(QStringLiteral("id")).toDouble()),
                                              phone);
        if (withdrawn)
            send(responder, Status::Ok, jsonType, "{}");
        else
            sendError(responder, Status::NotFound, "no such request of yours");
    } else {
        send(responder, Status::NotFound);
    }
}

void PartyServer::addRequest(const QJsonObject &body, const QString &phone,
                             QHttpServerResponder &responder)
{
    const QJsonValue songId = body.value(QStringLiteral("song"));
    const QJsonValue key = body.value(QStringLiteral("key"));
    const std::optional<PartySong> song =
        songId.isDouble() ? catalog.song(qint64(songId.toDouble())) : std::nullopt;
    if (!song || songId.toDouble() != double(song->id)) {
        sendError(responder, Status::NotFound, "no such song");
        return;
    }
    if (!key.isDouble() || key.toDouble() != double(key.toInt())) {
        sendError(responder, Status::BadRequest, "bad key");
        return;
    }
    qint64 entryId = 0;
    switch (queue.add(body.value(QStringLiteral("name")).toString(),
                      phone, *song, key.toInt(),
                      QDateTime::currentDateTimeUtc(), &entryId)) {
    case PartyQueue::AddResult::Added:
        send(responder, Status::Ok, jsonType,
             QJsonDocument(QJsonObject{{QStringLiteral("id"), double(entryId)}})
                 .toJson(QJsonDocument::Compact));
        return;
    case PartyQueue::AddResult::BadName:
        sendError(responder, Status::BadRequest, "bad name");
        return;
    case PartyQueue::AddResult::BadPhone:
        sendError(responder, Status::BadRequest, "bad phone id");
        return;
    case PartyQueue::AddResult::BadKey:
        sendError(responder, Status::BadRequest, "bad key");
        return;
    case PartyQueue::AddResult::TooMany:
        sendError(responder, Status::Conflict, "too many songs queued");
        return;
    }
}

QByteArray PartyServer::searchJson(const QString &words) const
{
    QJsonArray songs;
    const QList<PartySong> found = catalog.search(words, searchResults);
    for (const PartySong &song : found.mid(0, searchResults)) {
        songs.append(QJsonObject{{QStringLiteral("id"), double(song.id)},
                                 {QStringLiteral("title"), song.title},
                                 {QStringLiteral("artist"), song.artist},
                                 {QStringLiteral("seconds"), song.seconds}});
    }
    return QJsonDocument(QJsonObject{{QStringLiteral("songs"), songs}})
        .toJson(QJsonDocument::Compact);
}

QByteArray PartyServer::queueJson(const QString &phone) const
{
    QJsonArray entries;
    for (const PartyEntry &entry : queue.entries()) {
        entries.append(QJsonObject{{QStringLiteral("id"), double(entry.id)},
                                   {QStringLiteral("singer"), entry.singer},
                                   {QStringLiteral("title"), entry.title},
                                   {QStringLiteral("artist"), entry.artist},
                                   {QStringLiteral("key"), entry.key},
                                   {QStringLiteral("mine"), !phone.isEmpty() && entry.clientId == phone}});
    }
    return QJsonDocument(QJsonObject{{QStringLiteral("queue"), entries}})
        .toJson(QJsonDocument::Compact);
}
