#include "partylink.h"

#include "librarycatalog.h"
#include "lyricslabel.h"
#include "menu.h"
#include "partycontroller.h"
#include "partydialog.h"
#include "partyqueue.h"
#include "partystore.h"

#include <QAction>
#include <QMenu>
#include <QPainter>

#include <algorithm>

PartyLink::PartyLink(const LibraryIndex &library, QMenu *playbackMenu, LyricsLabel *stage,
                     QWidget *window)
    : QObject(window), catalog(std::make_unique<LibraryCatalog>(library)), stage(stage),
      window(window)
{
    party = new PartyController(*catalog, PartyStore::standardFileName(), this);
    playbackMenu->addAction(party->partyModeAction());
    connect(party->partyModeAction(), &QAction::toggled, this, [this](bool on) {
        if (on)
            showDialog();
    });
    connect(party, &PartyController::playRequested, this, [](const QString &path) {
        if (Menu *menu = Menu::Instance())
            menu->load(path);
    });
    connect(party, &PartyController::stageChanged, this, &PartyLink::showCard);
    connect(party, &PartyController::partyChanged, this, &PartyLink::showCard);
    stage->setScreenPainter(this);
}

PartyLink::~PartyLink()
{
    if (stage)
        stage->setScreenPainter(nullptr);
}

void PartyLink::startIfWanted(bool commandLineParty, int commandLinePort)
{
    if (commandLineParty)
        party->start(commandLinePort);
    else if (PartyController::wasOn())
        party->start();
}

bool PartyLink::songEnded()
{
    if (!party->running() || party->queue().entries().isEmpty())
        return false;
    party->songEnded();
    return true;
}

bool PartyLink::playPressed()
{
    if (!party->waitingForPlay())
        return false;
    party->playNext();
    return true;
}

void PartyLink::setStageIdle(bool idle)
{
    if (stageIdle == idle || !stage)
        return;
    stageIdle = idle;
    stage->ScreenRedraw();
}

// Between songs the joining code fills the stage; the card and the page win otherwise.
bool PartyLink::paintScreen(QPainter &painter, const QRect &area)
{
    if (!stageIdle || !party->running() || !party->nextUpText().isEmpty())
        return false;
    party->paintBadge(painter, area);
    return true;
}

void PartyLink::paintOverlay(QPainter &painter, const QRect &area)
{
    if (stageIdle || !party->running() || !party->badgeShown() || !party->nextUpText().isEmpty())
        return;
    const int side = std::max(std::min(area.width(), area.height()) / 4, 48);
    const QRect corner(area.right() - side - 4, area.bottom() - side - 4, side, side);
    party->paintBadge(painter, corner);
}

void PartyLink::showDialog()
{
    if (!dialog)
        dialog = new PartyDialog(*party, window);
    dialog->show();
    dialog->raise();
}

void PartyLink::showCard()
{
    const QString text = party->nextUpText();
    if (!stage)
        return;
    if (text.isEmpty())
        stage->clearCard();
    else
        stage->showCard(text, QString());
    stage->ScreenRedraw();
}
