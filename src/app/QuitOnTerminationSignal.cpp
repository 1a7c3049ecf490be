#include "app/QuitOnTerminationSignal.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {
int signalPipe[2] = {-1, -1};
constexpr int kSignals[] = {SIGTERM, SIGINT};
} // namespace

QuitOnTerminationSignal::QuitOnTerminationSignal(QObject *parent)
    : QObject(parent) {
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
        return;
    m_notifier = new QSocketNotifier(signalPipe[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [] {
        char signalByte = 0;
        // Not quit(): before the main loop runs (a start-up box) it does nothing, and exit()
        // also ends the event loop of whatever box is open.
        if (::read(signalPipe[1], &signalByte, sizeof signalByte) > 0)
            QCoreApplication::exit(0);
    });
    struct sigaction action {};
    action.sa_handler = &QuitOnTerminationSignal::onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signalNumber : kSignals)
        ::sigaction(signalNumber, &action, nullptr);
}

QuitOnTerminationSignal::~QuitOnTerminationSignal() {
    for (int signalNumber : kSignals)
        std::signal(signalNumber, SIG_DFL);
    for (int &end : signalPipe) {
        if (end >= 0)
            ::close(end);
        end = -1;
    }
}

void QuitOnTerminationSignal::onSignal(int) {
    const int savedErrno = errno; // the interrupted code may be about to read it
    const char signalByte = 1;
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[0], &signalByte, sizeof signalByte);
    errno = savedErrno;
}
