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

// Songs, the player's own playlists and M3U lists, as the desktop file declares them.
QStringList MprisRoot::supportedMimeTypes() const
{
    return {QStringLiteral("audio/mpeg"), QStringLiteral("application/x-vantrelkivo-playlist"),
            QStringLiteral("audio/x-mpegurl"), QStringLiteral("audio/mpegurl")};
}

void MprisRoot::Raise()
{
    controller->raise();
}

void MprisRoot::Quit()
{
    controller->quit();
}
