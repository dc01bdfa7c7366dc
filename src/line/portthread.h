#pragma once

#include <QObject>
#include <QString>
#include <QThread>

#include <functional>

// One port's own thread, so that a call that blocks in that port (a slow
// open, a reset sequence's sleeps, a wedged adapter) holds up no other port.
// What runs on it is made there, as a child of home(), and deleted there
// when the thread ends: a QObject is only ever touched on its own thread.
class PortThread {
public:
    explicit PortThread(const QString &port);
    // Everything made on the thread goes, on it; then the thread is joined.
    ~PortThread();
    PortThread(const PortThread &) = delete;
    PortThread &operator=(const PortThread &) = delete;

    void start();
    // Runs work on the thread, after whatever was put there before it.
    void post(std::function<void()> work);
    // Lives on the thread: the parent for the objects made there.
    QObject *home() const { return m_home; }

private:
    QThread m_thread;
    QObject *m_home;
};
