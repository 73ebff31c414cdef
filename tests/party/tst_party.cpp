// Party mode: the fair rotation, the queue kept across a restart, and the server against what a
// hostile network sends: the key, the limits, the same-origin rule and bad input.

#include "fakecatalog.h"
#include "partyconnection.h"
#include "partycontroller.h"
#include "partylistener.h"
#include "partyqueue.h"
#include "partyserver.h"
#include "partystore.h"
#include "soundsettings.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

const QByteArray partyKey = "0123456789abcdef0123456789abcdef";

QString phoneOf(QChar singer)
{
    return QStringLiteral("phone-") + singer + singer + singer;
}

// Sends raw (from the given loopback address) and returns what came back: one whole response, or what arrived before the server
// closed the connection or 3 s passed.
QByteArray exchange(quint16 port, const QByteArray &raw, const QHostAddress &from = QHostAddress())
{
    QTcpSocket socket;
    if (!from.isNull())
        socket.bind(from);
    QByteArray answer;
    QObject::connect(&socket, &QTcpSocket::readyRead, [&] { answer += socket.readAll(); });
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(3000))
        return QByteArray();
    socket.write(raw);
    const auto complete = [&answer] {
        const qsizetype end = answer.indexOf("\r\n\r\n");
        if (end < 0)
            return false;
        const auto length = QRegularExpression(QStringLiteral("Content-Length: (\\d+)"))
                                .match(QString::fromLatin1(answer.left(end)));
        return answer.size() >= end + 4 + (length.hasMatch() ? length.captured(1).toInt() : 0);
    };
    QDeadlineTimer deadline(3000);
    while (!complete() && socket.state() == QAbstractSocket::ConnectedState && !deadline.hasExpired())
        QTest::qWait(2);
    return answer;
}

int statusOf(const QByteArray &answer)
{
    return answer.startsWith("HTTP/1.1 ") ? answer.mid(9, 3).toInt() : 0;
}

} // namespace

class PartyTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void rotation_data();
    void rotation();
    void queueSurvivesRestart();
    void nextUpCardThenTheSongInItsKey();
    void hostileRequests_data();
    void hostileRequests();
    void queueHoldsExactlyTheValidRequests();
    void perPhoneLimits();
    void connectionsAreBoundedAndIdleOnesClosed();

private:
    QByteArray withPlaceholders(QByteArray raw, int row) const;

    FakeCatalog catalog;
    PartyQueue queue;
    std::unique_ptr<PartyServer> server;
    QStringList validSingers;
};

void PartyTest::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    server = std::make_unique<PartyServer>(catalog, queue);
    server->setKey(partyKey);
    QVERIFY(server->start(0, PartyServer::Reach::LoopbackOnly));
}

void PartyTest::rotation_data()
{
    // A letter is a request of that singer's phone, '-' the next song sung; the result is the
    // order every song was sung in, the queue emptied at the end.
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("sung");
    QTest::addRow("one song per singer in turn") << "AAABCC" << "ABCACA";
    QTest::addRow("a newcomer sings at the end of the round") << "AAB-C" << "ABCA";
    QTest::addRow("a newcomer after uneven requests") << "AAABCC-D" << "ABCDACA";
    QTest::addRow("a newcomer when the round starts over") << "AAABB--D" << "ABABDA";
    QTest::addRow("a singer who ran out keeps their place") << "ABC---CA" << "ABCAC";
}

void PartyTest::rotation()
{
    QFETCH(QString, script);
    QFETCH(QString, sung);
    PartyQueue songs;
    QString order;
    const auto sing = [&songs, &order] {
        const auto entry = songs.takeNext();
        QVERIFY(entry);
        order += entry->singer;
    };
    for (const QChar step : script) {
        if (step == u'-')
            sing();
        else
            QCOMPARE(songs.add(step, phoneOf(step), *catalog.song(1), 0, QDateTime()),
                     PartyQueue::AddResult::Added);
    }
    while (!songs.entries().isEmpty())
        sing();
    QCOMPARE(order, sung);
}

void PartyTest::queueSurvivesRestart()
{
    QTemporaryDir folder;
    const QString database = folder.filePath(QStringLiteral("library.sqlite"));
    {
        PartyQueue songs;
        for (const QChar singer : QStringLiteral("AABC"))
            songs.add(singer, phoneOf(singer), *catalog.song(2), -3, QDateTime::currentDateTimeUtc());
        songs.takeNext();
        QVERIFY(PartyStore(database).save(songs));
    }
    PartyQueue restored;
    QVERIFY(PartyStore(database).load(restored));
    // Queued as A A B C, sung A: B C A left, and a newcomer D comes before A's second song.
    restored.add(QStringLiteral("D"), phoneOf(u'D'), *catalog.song(3), 0, QDateTime());
    QString order;
    for (const PartyEntry &entry : restored.entries())
        order += entry.singer;
    QCOMPARE(order, QStringLiteral("BCDA"));
    QCOMPARE(restored.entries().constFirst().key, -3);
    QCOMPARE(restored.entries().constFirst().title, QStringLiteral("Song 2"));
}

// A song ends: the card names who sings what next and, with auto-advance off, waits for Play;
// the next song is asked for in its singer's key, and the key the host had comes back after it.
void PartyTest::nextUpCardThenTheSongInItsKey()
{
    QTemporaryDir folder;
    FakeCatalog songbook(200, QStringLiteral("/songs/one.mp3"));
    PartyController party(songbook, folder.filePath(QStringLiteral("library.sqlite")));
    party.setAutoAdvance(false);
    QSignalSpy played(&party, &PartyController::playRequested);
    party.queue().add(QStringLiteral("<b>x</b>"), phoneOf(u'X'), *songbook.song(13), 3, QDateTime());
    SoundSettings::setKey(-1);
    party.songEnded();
    QCOMPARE(party.nextUpText(), QStringLiteral("Next up: <b>x</b> \u2014 <i>Song 13</i>"));
    QVERIFY(party.waitingForPlay());
    QTest::qWait(50);
    QCOMPARE(played.count(), 0);
    party.playNext();
    QCOMPARE(played.count(), 1);
    QCOMPARE(played.at(0).at(0).toString(), QStringLiteral("/songs/one.mp3"));
    QCOMPARE(SoundSettings::key(), 3);
    QVERIFY(party.nextUpText().isEmpty());
    party.songEnded();
    QCOMPARE(SoundSettings::key(), -1);
    QVERIFY(party.nextUpText().isEmpty()); // nobody left
}

QByteArray PartyTest::withPlaceholders(QByteArray raw, int row) const
{
    const QByteArray host = "127.0.0.1:" + QByteArray::number(server->port());
    raw.replace("@K@", partyKey).replace("@H@", host).replace("@P@", QByteArray::number(server->port()));
    raw.replace("@C@", "phonerow" + QByteArray::number(row));
    const qsizetype bodyAt = raw.indexOf("\r\n\r\n");
    if (bodyAt >= 0)
        raw.replace("@L@", QByteArray::number(raw.size() - bodyAt - 4));
    return raw;
}

void PartyTest::hostileRequests_data()
{
    // @K@ the key, @H@ the host and port, @C@ a phone id of the row's own, @L@ the body length.
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("queued"); // the singer the request adds to the queue
    const QByteArray get = "GET %1 HTTP/1.1\r\nHost: @H@\r\n\r\n";
    const auto post = [](const QByteArray &path, const QByteArray &body,
                         const QByteArray &headers = "Origin: http://@H@\r\nContent-Type: application/json\r\n") {
        return "POST " + path + " HTTP/1.1\r\nHost: @H@\r\n" + headers +
               "Content-Length: @L@\r\n\r\n" + body;
    };
    const auto queueAs = [&post](const QByteArray &name, const QByteArray &song = "1",
                                 const QByteArray &key = "0", const QByteArray &phone = "@C@") {
        return post("/api/queue?k=@K@&c=" + phone,
                    "{\"name\":\"" + name + "\",\"song\":" + song + ",\"key\":" + key + "}");
    };
    const auto row = [](const char *name, const QByteArray &request, int status,
                        const QString &queued = QString()) {
        QTest::addRow("%s", name) << request << status << queued;
    };
    row("the page", QByteArray(get).replace("%1", "/?k=@K@"), 200);
    row("its script", QByteArray(get).replace("%1", "/page.js?k=@K@"), 200);
    row("a search", QByteArray(get).replace("%1", "/api/songs?k=@K@&q=Song%201"), 200);
    row("the queue", QByteArray(get).replace("%1", "/api/queue?k=@K@&c=@C@"), 200);
    row("no key", QByteArray(get).replace("%1", "/"), 403);
    row("no key for the script", QByteArray(get).replace("%1", "/page.js"), 403);
    row("a wrong key", QByteArray(get).replace("%1", "/?k=0123456789abcdef0123456789abcdee"), 403);
    row("the key and more", QByteArray(get).replace("%1", "/?k=@K@0"), 403);
    row("a queue without key", queueAs("Eve").replace("?k=@K@", ""), 403);
    row("path traversal", QByteArray(get).replace("%1", "/../../etc/passwd?k=@K@"), 404);
    row("encoded traversal", QByteArray(get).replace("%1", "/%2e%2e/%2e%2e/etc/passwd?k=@K@"), 404);
    row("a resource by name", QByteArray(get).replace("%1", "/page/index.html?k=@K@"), 404);
    row("another host", "GET /?k=@K@ HTTP/1.1\r\nHost: evil.example:@P@\r\n\r\n", 403);
    row("PUT", "PUT /api/queue?k=@K@ HTTP/1.1\r\nHost: @H@\r\nContent-Length: 0\r\n\r\n", 405);
    row("oversized headers", "GET /?k=@K@ HTTP/1.1\r\nHost: @H@\r\nX-Pad: " + QByteArray(9000, 'a') +
                                 "\r\n\r\n", 413);
    row("oversized body", queueAs("Eve" + QByteArray(9000, ' ')), 413);
    row("not HTTP", "GARBAGE\x01\x02\r\n\r\n", 0); // closed unanswered
    row("a header without colon", "GET /?k=@K@ HTTP/1.1\r\nHost @H@\r\n\r\n", 403);
    row("a post without origin", post("/api/queue?k=@K@&c=@C@", "{\"name\":\"Eve\",\"song\":1,\"key\":0}",
                                      "Content-Type: application/json\r\n"), 403);
    row("a post from elsewhere", post("/api/queue?k=@K@&c=@C@", "{\"name\":\"Eve\",\"song\":1,\"key\":0}",
                                      "Origin: http://evil.example\r\nContent-Type: application/json\r\n"), 403);
    row("a post of a form", post("/api/queue?k=@K@", "name=Eve&song=1",
                                 "Origin: http://@H@\r\nContent-Type: application/x-www-form-urlencoded\r\n"), 415);
    row("broken JSON", post("/api/queue?k=@K@", "{\"name\":"), 400);
    row("a singer", queueAs("Ann"), 200, "Ann");
    row("a singer named with markup", queueAs("<script>alert(1)</script>"), 200,
        "<script>alert(1)</script>");
    row("a name of 40", queueAs(QByteArray(40, 'n')), 200, QString(40, u'n'));
    row("a name of 41", queueAs(QByteArray(41, 'n')), 400);
    row("a blank name", queueAs("   "), 400);
    row("a bell in the name", queueAs("a\\u0007b"), 400);
    row("a right-to-left override", queueAs("\\u202eabc"), 400);
    row("a song by path", queueAs("Eve", "\"/etc/passwd\""), 404);
    row("an unknown song", queueAs("Eve", "99999"), 404);
    row("a fraction of a song", queueAs("Eve", "1.5"), 404);
    row("a key too high", queueAs("Eve", "1", "7"), 400);
    row("a key as text", queueAs("Eve", "1", "\"+2\""), 400);
    row("a bad phone id", queueAs("Eve", "1", "0", "x"), 400);
    row("withdrawing another's song", post("/api/withdraw?k=@K@&c=@C@", "{\"id\":1}"), 404);
}

void PartyTest::hostileRequests()
{
    QFETCH(QByteArray, request);
    QFETCH(int, status);
    QFETCH(QString, queued);
    static int row = 0;
    // Each row from a phone of its own, as the server counts them: by address.
    ++row;
    const QByteArray answer = exchange(server->port(), withPlaceholders(request, row),
                                       QHostAddress(quint32(0x7f000100 + row)));
    QCOMPARE(statusOf(answer), status);
    if (status == 0) {
        QVERIFY(answer.isEmpty());
        return;
    }
    const QByteArray head = answer.left(answer.indexOf("\r\n\r\n"));
    QVERIFY(head.contains("\r\nContent-Security-Policy: default-src 'self'"));
    QVERIFY(head.contains("\r\nX-Content-Type-Options: nosniff"));
    if (status == 403)
        QVERIFY(answer.endsWith("Content-Length: 0\r\n\r\n") || answer.endsWith("\r\n\r\n"));
    if (!queued.isEmpty())
        validSingers.append(queued);
}

void PartyTest::queueHoldsExactlyTheValidRequests()
{
    QStringList singers;
    for (const PartyEntry &entry : queue.entries())
        singers.append(entry.singer);
    singers.sort();
    validSingers.sort();
    QCOMPARE(singers, validSingers);
}

void PartyTest::perPhoneLimits()
{
    const QByteArray body = "{\"name\":\"Lou\",\"song\":3,\"key\":2}";
    const QByteArray add = withPlaceholders(
        "POST /api/queue?k=@K@&c=phone-lou HTTP/1.1\r\nHost: @H@\r\nOrigin: http://@H@\r\n"
        "Content-Type: application/json\r\nContent-Length: @L@\r\n\r\n" + body, 0);
    QList<int> statuses;
    for (int request = 0; request < PartyQueue::maxPerPhone + 1; ++request)
        statuses.append(statusOf(exchange(server->port(), add)));
    QCOMPARE(statuses.count(200), PartyQueue::maxPerPhone);
    QCOMPARE(statuses.constLast(), 409);
    // A burst from one phone: the requests past the limit of the second are turned away.
    QTest::qWait(1000 - QTime::currentTime().msec()); // a fresh second
    statuses.clear();
    const QByteArray look = withPlaceholders("GET /api/queue?k=@K@&c=phone-burst HTTP/1.1\r\nHost: @H@\r\n\r\n", 0);
    for (int request = 0; request < PartyServer::maxRequestsPerSecond + 5; ++request)
        statuses.append(statusOf(exchange(server->port(), look)));
    QVERIFY2(statuses.count(429) >= 1 && statuses.count(200) >= PartyServer::maxRequestsPerSecond - 5,
             qPrintable(QStringLiteral("%1 of 429").arg(statuses.count(429))));
}

void PartyTest::connectionsAreBoundedAndIdleOnesClosed()
{
    std::vector<std::unique_ptr<QTcpSocket>> sockets;
    for (int i = 0; i < PartyListener::maxConnections + 20; ++i) {
        sockets.push_back(std::make_unique<QTcpSocket>());
        sockets.back()->connectToHost(QHostAddress::LocalHost, server->port());
        sockets.back()->write("GET / HTTP/1.1\r\n"); // and never more
    }
    QTRY_COMPARE(server->connections(), PartyListener::maxConnections);
    const auto open = [&sockets] {
        return std::count_if(sockets.cbegin(), sockets.cend(), [](const auto &socket) {
            return socket->state() == QAbstractSocket::ConnectedState;
        });
    };
    QTRY_COMPARE(open(), PartyListener::maxConnections);
    QTRY_COMPARE_WITH_TIMEOUT(server->connections(), 0, PartyConnection::idleMilliseconds + 3000);
    QTRY_COMPARE(open(), 0);
}

QTEST_MAIN(PartyTest)
#include "tst_party.moc"
