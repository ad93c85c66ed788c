#include "app/signalwatcher.h"

#include <QSocketNotifier>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <iterator>
#include <utility>

namespace {

int signalPipe[2] = {-1, -1};
constexpr int WatchedSignals[] = {SIGTERM, SIGINT, SIGHUP};
// The signals this watcher took over; one that was ignored when the program started (SIGHUP under nohup, SIGINT in
// a background job of a shell) stays ignored, as whoever started the program asked.
bool Taken[std::size(WatchedSignals)] = {};

bool IgnoredAtStart(int signalNumber) {
    struct sigaction current = {};
    return ::sigaction(signalNumber, nullptr, &current) == 0 && current.sa_handler == SIG_IGN;
}

extern "C" void WriteSignalByte(int signalNumber) {
    const int savedErrno = errno;
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    // Nothing else is safe in a signal handler; a full pipe already holds a pending request.
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[0], &byte, 1);
    errno = savedErrno;
}

} // namespace

TSignalWatcher::TSignalWatcher(QObject* parent)
    : QObject(parent) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0) {
        signalPipe[0] = signalPipe[1] = -1;
        return;
    }
    ::fcntl(signalPipe[0], F_SETFL, ::fcntl(signalPipe[0], F_GETFL) | O_NONBLOCK);
    ::fcntl(signalPipe[1], F_SETFL, ::fcntl(signalPipe[1], F_GETFL) | O_NONBLOCK);
    Notifier = new QSocketNotifier(signalPipe[1], QSocketNotifier::Read, this);
    connect(Notifier, &QSocketNotifier::activated, this, &TSignalWatcher::ReadSignal);

    struct sigaction action = {};
    action.sa_handler = WriteSignalByte;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (size_t index = 0; index < std::size(WatchedSignals); ++index) {
        Taken[index] =
            !IgnoredAtStart(WatchedSignals[index]) && ::sigaction(WatchedSignals[index], &action, nullptr) == 0;
    }
}

TSignalWatcher::~TSignalWatcher() {
    if (!Notifier) {
        return;
    }
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (size_t index = 0; index < std::size(WatchedSignals); ++index) {
        if (std::exchange(Taken[index], false)) {
            ::sigaction(WatchedSignals[index], &action, nullptr);
        }
    }
    ::close(signalPipe[0]);
    ::close(signalPipe[1]);
    signalPipe[0] = signalPipe[1] = -1;
}

void TSignalWatcher::ReadSignal() {
    unsigned char byte = 0;
    while (::read(signalPipe[1], &byte, 1) == 1) {
        Seen = true;
        Q_EMIT TerminationRequested(byte);
    }
}
