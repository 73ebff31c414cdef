#include "partydialog.h"

#include "partycontroller.h"
#include "partyqueuewindow.h"

#include <QAction>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

PartyDialog::PartyDialog(PartyController &controller, QWidget *parent)
    : QDialog(parent), controller(controller), code(new QLabel(this)), address(new QLabel(this))
{
    setWindowTitle(tr("Party Mode"));
    setObjectName(QStringLiteral("partyDialog"));
    auto *on = new QCheckBox(tr("&Party mode on"), this);
    on->setChecked(controller.running());
    connect(on, &QCheckBox::toggled, controller.partyModeAction(), &QAction::setChecked);
    connect(&controller, &PartyController::partyChanged, on,
            [this, on] { on->setChecked(this->controller.running()); });

    code->setAlignment(Qt::AlignCenter);
    code->setMinimumSize(260, 260);
    address->setTextFormat(Qt::PlainText);
    address->setTextInteractionFlags(Qt::TextSelectableByMouse);
    address->setAlignment(Qt::AlignCenter);

    auto *renew = new QPushButton(tr("&New Key"), this);
    renew->setToolTip(tr("Phones that joined with the old code are refused"));
    connect(renew, &QPushButton::clicked, &controller, &PartyController::renewKey);
    auto *advance = new QCheckBox(tr("Start the next song after the \"Next up\" card"), this);
    advance->setChecked(controller.autoAdvance());
    connect(advance, &QCheckBox::toggled, &controller, &PartyController::setAutoAdvance);
    auto *badge = new QCheckBox(tr("Show the code in a corner while songs play"), this);
    badge->setChecked(controller.badgeShown());
    connect(badge, &QCheckBox::toggled, &controller, &PartyController::setBadgeShown);
    auto *queue = new QPushButton(tr("&Queue..."), this);
    connect(queue, &QPushButton::clicked, this, [this] {
        queueWindow()->show();
        queueWindow()->raise();
    });
    auto *close = new QPushButton(tr("Close"), this);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(renew);
    buttons->addWidget(queue);
    buttons->addStretch();
    buttons->addWidget(close);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(on);
    layout->addWidget(code, 1);
    layout->addWidget(address);
    layout->addWidget(advance);
    layout->addWidget(badge);
    layout->addLayout(buttons);
    connect(&controller, &PartyController::partyChanged, this, &PartyDialog::refresh);
    refresh();
}

PartyQueueWindow *PartyDialog::queueWindow()
{
    if (!queueView)
        queueView = new PartyQueueWindow(controller, this);
    return queueView;
}

void PartyDialog::refresh()
{
    const QImage image = controller.badge().code();
    if (image.isNull()) {
        code->setPixmap(QPixmap());
        code->setText(tr("Party mode is off."));
    } else {
        const int scale = std::max(1, 260 / image.width());
        code->setPixmap(QPixmap::fromImage(
            image.scaled(image.size() * scale, Qt::KeepAspectRatio, Qt::FastTransformation)));
    }
    address->setText(controller.joinUrl());
}
