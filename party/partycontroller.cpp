#include "partycontroller.h"

#include "extrasettings.h"
#include "nextupcard.h"
#include "partykey.h"
#include "partyqueue.h"
#include "partyserver.h"
#include "partystore.h"
#include "songcatalog.h"
#include "soundsettings.h"

#include <QAction>
#include <QPainter>
#include <QTimer>

#include <cstdio>

namespace {

const QString onKey = QStringLiteral("party/on");
const QString portKey = QStringLiteral("party/port");
const QString autoAdvanceKey = QStringLiteral("party/autoAdvance");
const QString badgeKey = QStringLiteral("party/badge");

} // namespace

PartyController::PartyController(const SongCatalog &catalog, const QString &databaseFile,
                                 QObject *parent)
    : QObject(parent), catalog(catalog), store(std::make_unique<PartyStore>(databaseFile)),
      songs(new PartyQueue(this)), modeAction(new QAction(tr("Party &Mode"), this)),
      cardTimer(new QTimer(this)), saveTimer(new QTimer(this))
{
    modeAction->setCheckable(true);
    connect(modeAction, &QAction::toggled, this, [this](bool on) {
        if (on && !running() && !start())
            modeAction->setChecked(false);
        else if (!on && running())
            stop();
    });
    cardTimer->setSingleShot(true);
    cardTimer->setInterval(cardMilliseconds);
    connect(cardTimer, &QTimer::timeout, this, &PartyController::playNext);
    // Bursts of requests are written once.
    saveTimer->setSingleShot(true);
    saveTimer->setInterval(300);
    connect(saveTimer, &QTimer::timeout, this, [this] { store->save(*songs); });
    store->load(*songs);
    connect(songs, &PartyQueue::changed, saveTimer, qOverload<>(&QTimer::start));
}

PartyController::~PartyController()
{
    if (saveTimer->isActive())
        store->save(*songs);
    restoreKey();
}

bool PartyController::wasOn()
{
    return ExtraSettings::instance().boolValue(onKey, false);
}

bool PartyController::start(int port, bool loopbackOnly)
{
    stop();
    if (port < 0 || port > 65535)
        port = (ExtraSettings::instance().intValue(portKey, PartyServer::defaultPort, 1024,
                                                          65535));
    server = new PartyServer(catalog, *songs, this);
    server->setKey(PartyKey::fresh());
    const auto reach = loopbackOnly ? PartyServer::Reach::LoopbackOnly
                                    : PartyServer::Reach::LanAndLoopback;
    if (!server->start(quint16(port), reach)) {
        qWarning("Party: no free port from %d", int(port));
        delete server;
        server = nullptr;
        return false;
    }
    ExtraSettings::instance().setValue(onKey, true);
    if (port != 0)
        ExtraSettings::instance().setValue(portKey, port);
    const QSignalBlocker quiet(modeAction);
    modeAction->setChecked(true);
    announce();
    return true;
}

void PartyController::stop()
{
    if (!server)
        return;
    delete server;
    server = nullptr;
    ExtraSettings::instance().setValue(onKey, false);
    const QSignalBlocker quiet(modeAction);
    modeAction->setChecked(false);
    joinBadge.setAddress(QString());
    emit partyChanged();
    emit stageChanged();
}

void PartyController::renewKey()
{
    if (!server)
        return;
    server->setKey(PartyKey::fresh());
    announce();
}

void PartyController::announce()
{
    joinBadge.setAddress(server->joinUrl());
    std::printf("Party: %s\n", qPrintable(server->joinUrl()));
    std::fflush(stdout);
    emit partyChanged();
    emit stageChanged();
}

QString PartyController::joinUrl() const
{
    return server ? server->joinUrl() : QString();
}

quint16 PartyController::port() const
{
    return server ? server->port() : 0;
}

bool PartyController::autoAdvance() const
{
    return ExtraSettings::instance().boolValue(autoAdvanceKey, true);
}

void PartyController::setAutoAdvance(bool on)
{
    ExtraSettings::instance().setValue(autoAdvanceKey, on);
    if (on && !cardText.isEmpty())
        cardTimer->start();
    else if (!on)
        cardTimer->stop();
}

bool PartyController::badgeShown() const
{
    return ExtraSettings::instance().boolValue(badgeKey, true);
}

void PartyController::setBadgeShown(bool shown)
{
    ExtraSettings::instance().setValue(badgeKey, shown);
    emit stageChanged();
}

void PartyController::paintBadge(QPainter &painter, const QRect &area) const
{
    joinBadge.paint(painter, area);
}

void PartyController::paintNextUp(QPainter &painter, const QRect &area) const
{
    NextUpCard::paint(painter, area, cardText);
}

void PartyController::songEnded()
{
    restoreKey();
    showCard();
}

void PartyController::showCard()
{
    cardTimer->stop();
    if (songs->entries().isEmpty()) {
        cardText.clear();
    } else {
        const PartyEntry &next = songs->entries().constFirst();
        cardText = NextUpCard::text(next.singer, next.title);
        if (autoAdvance())
            cardTimer->start();
    }
    emit stageChanged();
}

void PartyController::playNext()
{
    play(songs->takeNext());
}

void PartyController::playNow(qint64 entryId)
{
    play(songs->take(entryId));
}

void PartyController::play(const std::optional<PartyEntry> &entry)
{
    cardTimer->stop();
    cardText.clear();
    emit stageChanged();
    if (!entry)
        return;
    const QString path = catalog.songPath(entry->songId);
    if (path.isEmpty()) {
        // The song left the library since it was asked for: on to the next one.
        qWarning("Party: song %lld is no longer in the library", entry->songId);
        showCard();
        return;
    }
    restoreKey();
    keyBefore = SoundSettings::key();
    SoundSettings::setKey(entry->key);
    emit playRequested(path, entry->singer, entry->title);
}

void PartyController::restoreKey()
{
    if (keyBefore) {
        SoundSettings::setKey(*keyBefore);
        keyBefore.reset();
    }
}
