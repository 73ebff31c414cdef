#include "terminationsignals.h"

#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// The handler writes one byte into the first socket; the GUI thread reads it from the second.
// A write into a socket is one of the few things a signal handler may do.
int wakeSockets[2] = {-1, -1};
constexpr int handledSignals[] = {SIGTERM, SIGINT, SIGHUP};

extern "C" void onTerminationSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(wakeSockets[0], &byte, 1);
}

void setHandlers(void (*handler)(int))
{
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int number : handledSignals)
        ::sigaction(number, &action, nullptr);
}

} // namespace

TerminationSignals::TerminationSignals(QObject *parent) : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, wakeSockets) != 0) {
        qWarning("Termination signals are not handled: no socket pair");
        return;
    }
    notifier = new QSocketNotifier(wakeSockets[1], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &TerminationSignals::readRequest);
    setHandlers(onTerminationSignal);
}

TerminationSignals::~TerminationSignals()
{
    if (!notifier)
        return;
    setHandlers(SIG_DFL);
    delete notifier;
    ::close(wakeSockets[0]);
    ::close(wakeSockets[1]);
    wakeSockets[0] = wakeSockets[1] = -1;
}

// called on the GUI thread when a handler has written
void TerminationSignals::readRequest()
{
    char bytes[16];
    while (::read(wakeSockets[1], bytes, sizeof bytes) > 0) {
    }
    emit terminationRequested();
}
