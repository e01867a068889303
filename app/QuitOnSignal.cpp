#include "QuitOnSignal.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A signal handler may only write to a descriptor; the event loop reads the
// other end. Set once, before any handler is installed, and never changed.
int signalWriteEnd = -1;

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(signalWriteEnd, &byte, 1);
}

} // namespace

void quitOnTerminationSignals(QObject& owner)
{
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
        return;
    signalWriteEnd = pair[0];
    auto* notifier = new QSocketNotifier(pair[1], QSocketNotifier::Read, &owner);
    QObject::connect(notifier, &QSocketNotifier::activated, &owner, [notifier] {
        char byte;
        [[maybe_unused]] const auto read = ::read(static_cast<int>(notifier->socket()), &byte, 1);
        QCoreApplication::quit();
    });

    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(signal, &action, nullptr);
}
