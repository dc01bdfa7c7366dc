#include "shared/signalwatcher.h"

#ifdef Q_OS_WIN

#include <QMutex>

#include <csignal>
#include <windows.h>

namespace {

QMutex watcherMutex;
SignalWatcher *watcher = nullptr; // under watcherMutex

int signalOfConsoleEvent(DWORD event)
{
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
        return SIGINT;
    case CTRL_CLOSE_EVENT:
        return SignalWatcher::HangUp;
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        return SIGTERM;
    default:
        return 0;
    }
}

} // namespace

SignalWatcher::SignalWatcher(const QList<int> &signalNumbers, QObject *parent)
    : QObject(parent), m_signalNumbers(signalNumbers)
{
    const QMutexLocker lock(&watcherMutex);
    watcher = this;
    m_valid = SetConsoleCtrlHandler(&handleConsoleEvent, TRUE) != 0;
}

SignalWatcher::~SignalWatcher()
{
    SetConsoleCtrlHandler(&handleConsoleEvent, FALSE);
    const QMutexLocker lock(&watcherMutex);
    watcher = nullptr;
}

// The system ends the program as soon as this returns from a close, log-off
// or shut-down, so the handler gives it the time to end its own way first,
// a little less than the five seconds Windows waits; a program that ends
// sooner ends this thread with it. The thread is the system's, made for the
// event: no port and no window waits on it.
int __stdcall SignalWatcher::handleConsoleEvent(unsigned long event)
{
    const int signalNumber = signalOfConsoleEvent(event);
    {
        const QMutexLocker lock(&watcherMutex);
        if (!watcher || !watcher->m_signalNumbers.contains(signalNumber))
            return FALSE;
        QMetaObject::invokeMethod(
            watcher, [target = watcher, signalNumber] { emit target->caught(signalNumber); },
            Qt::QueuedConnection);
    }
    constexpr DWORD EndingMs = 4500;
    if (signalNumber != SIGINT)
        Sleep(EndingMs);
    return TRUE;
}

#else

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

static_assert(SIGHUP == SignalWatcher::HangUp);

int SignalWatcher::s_sockets[2] = {-1, -1};

SignalWatcher::SignalWatcher(const QList<int> &signalNumbers, QObject *parent) : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, s_sockets) != 0)
        return;
    m_notifier = new QSocketNotifier(s_sockets[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SignalWatcher::readSignal);
    m_valid = true;

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

#endif
