#pragma once

#include <QList>
#include <QObject>

class QSocketNotifier;

// Brings Unix signals into the event loop: the handler only writes the signal
// number into a socket pair, and a notifier on the other end emits caught().
// One watcher per program.
class SignalWatcher : public QObject {
    Q_OBJECT
public:
    explicit SignalWatcher(const QList<int> &signalNumbers, QObject *parent = nullptr);
    ~SignalWatcher() override;

    bool isValid() const { return m_notifier != nullptr; }

signals:
    void caught(int signalNumber);

private:
    static void handle(int signalNumber);
    void readSignal();

    static int s_sockets[2];
    QSocketNotifier *m_notifier = nullptr;
};
