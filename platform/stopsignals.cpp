#include "platform/stopsignals.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

namespace platform {

namespace {

// A signal handler may only write to a descriptor: the stop signals become a
// byte on this socket pair, which the event loop watches.
int stopPipe[2] = {-1, -1};

void onStopSignal(int)
{
    const char byte = 0;
    // A full pipe already holds a stop.
    [[maybe_unused]] const ssize_t written = ::write(stopPipe[1], &byte, 1);
}

void setStopHandler(void (*handler)(int))
{
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

} // namespace

StopSignals::StopSignals(QObject *parent)
    : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, stopPipe) != 0) {
        failure = QString::fromLocal8Bit(std::strerror(errno));
        stopPipe[0] = stopPipe[1] = -1;
        return;
    }
    notifier.setSocket(stopPipe[0]);
    notifier.setEnabled(true);
    // The bytes are read, or the notifier would fire on every turn of the
    // loop for as long as nobody ends it.
    connect(&notifier, &QSocketNotifier::activated, this, [this] {
        char bytes[64];
        while (::read(stopPipe[0], bytes, sizeof bytes) > 0) {
        }
        emit stopRequested();
    });
    setStopHandler(onStopSignal);
}

StopSignals::~StopSignals()
{
    if (stopPipe[0] < 0)
        return;
    setStopHandler(SIG_DFL);
    notifier.setEnabled(false);
    ::close(stopPipe[0]);
    ::close(stopPipe[1]);
    stopPipe[0] = stopPipe[1] = -1;
}

} // namespace platform
