#include "shared/signalwatcher.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

int SignalWatcher::s_sockets[2] = {-1, -1};

SignalWatcher::SignalWatcher(const QList<int> &signalNumbers, QObject *parent) : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, s_sockets) != 0)
        return;
    m_notifier = new QSocketNotifier(s_sockets[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SignalWatcher::readSignal);

    struct sigaction action = {};
    action.sa_handler = &SignalWatcher::handle;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signalNumber : signalNumbers)
        ::sigaction(signalNumber, &action, nullptr);
}

SignalWatcher::~SignalWatcher()
{
    for (int &socket : s_sockets) {
        if (socket >= 0)
            ::close(socket);
        socket = -1;
    }
}

void SignalWatcher::handle(int signalNumber)
{
    const int savedErrno = errno;
    const char number = char(signalNumber);
    // Nothing to do if the pair is full: a signal is on its way already.
    if (::write(s_sockets[0], &number, 1) < 0) {
    }
    errno = savedErrno;
}

void SignalWatcher::readSignal()
{
    char number = 0;
    while (::read(s_sockets[1], &number, 1) == 1)
        emit caught(number);
}
