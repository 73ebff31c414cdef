#include "mprisroot.h"

#include "mpris.h"

MprisRoot::MprisRoot(Mpris *controller) : QDBusAbstractAdaptor(controller), controller(controller)
{}

QString MprisRoot::identity() const
{
    return QStringLiteral("Vantrel Kivo Player");
}

// The installed desktop file's name without ".desktop".
QString MprisRoot::desktopEntry() const
{
    return QStringLiteral("vantrelkivo");
}

QStringList MprisRoot::supportedUriSchemes() const
{
    return {QStringLiteral("file")};
}

// Songs and the player's own playlists, as the desktop file declares them.
QStringList MprisRoot::supportedMimeTypes() const
{
    return {QStringLiteral("audio/mpeg"), QStringLiteral("application/x-vantrelkivo-playlist")};
}

void MprisRoot::Raise()
{
    controller->raise();
}

void MprisRoot::Quit()
{
    controller->quit();
}
