// A party with a fake songbook on loopback, for the browser test and the party benchmark: prints
// "Party: URL" and serves until standard input closes or the given seconds have passed.
// Usage: partyhost [seconds] [database] [--show] [--lan]   (60 s; a database in a fresh temporary
// folder; --show opens the Party Mode and queue windows with three requests queued; --lan serves
// the network too, on port 8765 or the next free one, to try with a real phone)

#include "fakecatalog.h"
#include "partycontroller.h"
#include "partydialog.h"
#include "partyqueue.h"
#include "partyqueuewindow.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <unistd.h>

int main(int argc, char **argv)
{
    QStandardPaths::setTestModeEnabled(true);
    QApplication application(argc, argv);
    QStringList arguments = application.arguments();
    const bool show = arguments.removeAll(QStringLiteral("--show")) > 0;
    const bool lan = arguments.removeAll(QStringLiteral("--lan")) > 0;
    const int seconds = arguments.size() > 1 ? arguments.at(1).toInt() : 60;
    QTemporaryDir folder;
    const QString database = arguments.size() > 2 ? arguments.at(2)
                                                  : folder.filePath(QStringLiteral("library.sqlite"));
    FakeCatalog catalog;
    PartyController party(catalog, database);
    if (!party.start(lan ? 8765 : 0, !lan))
        return 1;
    QObject::connect(&party.queue(), &PartyQueue::changed, [&party] {
        std::printf("Queue: %d\n", int(party.queue().entries().size()));
        std::fflush(stdout);
    });
    PartyDialog dialog(party);
    if (show) {
        const QStringList singers{QStringLiteral("Ann"), QStringLiteral("<b>x</b>"), QStringLiteral("Ann")};
        for (const QString &singer : singers)
            party.queue().add(singer, QStringLiteral("phone-%1xxx").arg(singer.size()), *catalog.song(13),
                              2, QDateTime::currentDateTimeUtc().addSecs(-300));
        dialog.show();
        dialog.queueWindow()->show();
        dialog.move(0, 0);
        dialog.queueWindow()->move(480, 0);
    }
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&input] {
        char byte = 0;
        if (::read(STDIN_FILENO, &byte, 1) <= 0) {
            input.setEnabled(false);
            QCoreApplication::quit();
        }
    });
    QTimer::singleShot(seconds * 1000, &application, &QCoreApplication::quit);
    return application.exec();
}
