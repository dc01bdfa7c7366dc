#pragma once

#include <QList>
#include <QObject>

class QSocketNotifier;

// Brings the stops a terminal gives a program into the event loop, as
// caught() with the signal's number. Unix: the handler only writes the signal
// number into a socket pair, and a notifier on the other end emits caught().
// Windows: the console's handler, on a thread of the system's, queues the
// same report: Ctrl-C and Ctrl-Break as SIGINT, a closed console as HangUp,
// logging off or shutting down as SIGTERM; any of these not asked for is left
// to the system. One watcher per program.
class SignalWatcher : public QObject {
    Q_OBJECT
public:
    // SIGHUP on Unix; Windows has none, and reports a closed console by it.
    static constexpr int HangUp = 1;

    explicit SignalWatcher(const QList<int> &signalNumbers, QObject *parent = nullptr);
    ~SignalWatcher() override;

    bool isValid() const { return m_valid; }

signals:
    void caught(int signalNumber);

private:
#ifdef Q_OS_WIN
    static int __stdcall handleConsoleEvent(unsigned long event);
    QList<int> m_signalNumbers;
#else
    static void handle(int signalNumber);
    void readSignal();

    static int s_sockets[2];
    QSocketNotifier *m_notifier = nullptr;
#endif
    bool m_valid = false;
};
