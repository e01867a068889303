#include "QuitOnSignal.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A signal handler may only write to a descriptor; the event loop reads the
// other end. Set once, before any handler is installed, and never changed:
// the one place a handler can find it.
int signalWriteEnd = -1;

void onSignal(int)
{
    const int savedErrno = errno;
    const char byte = 1;
    // Non-blocking: a full pipe means a quit is already on its way.
    [[maybe_unused]] const auto written = ::write(signalWriteEnd, &byte, 1);
    errno = savedErrno;
}

} // namespace

void quitOnTerminationSignals(QObject& owner)
{
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, pair) != 0)
        return;
    signalWriteEnd = pair[0];
    auto* notifier = new QSocketNotifier(pair[1], QSocketNotifier::Read, &owner);
    QObject::connect(notifier, &QSocketNotifier::activated, &owner, [notifier] {
        char byte;
        [[maybe_unused]] const auto read = ::read(static_cast<int>(notifier->socket()), &byte, 1);
        // exit(), not quit(): since Qt 6, quit() first offers every window
        // a close, and a window that asks before ending a recording would
        // hold a logout on a question nobody is there to answer.
        QCoreApplication::exit(0);
    });

    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    // Only the first signal asks politely; a second one, say while a bus
    // call hangs during shutdown, ends the program the default way.
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    for (const int signal : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(signal, &action, nullptr);
}
