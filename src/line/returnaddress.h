#pragma once

#include <QMetaObject>
#include <QMutex>
#include <QMutexLocker>
#include <QObject>

#include <memory>
#include <utility>

// Where calls made on another thread come back to: the receiver's own
// thread, for as long as the receiver lives. Calls made after it is gone, or
// still on their way when it goes, are dropped. The receiver closes it on
// its own thread as it goes.
class ReturnAddress {
public:
    explicit ReturnAddress(QObject *receiver) : m_receiver(receiver) {}

    static std::shared_ptr<ReturnAddress> of(QObject *receiver)
    {
        return std::make_shared<ReturnAddress>(receiver);
    }

    // From any thread. The lock keeps the receiver from going while the
    // call is posted; once posted, it goes with the receiver's events.
    template <typename Work> void post(Work &&work)
    {
        const QMutexLocker lock(&m_mutex);
        if (m_receiver)
            QMetaObject::invokeMethod(m_receiver, std::forward<Work>(work), Qt::QueuedConnection);
    }

    void close()
    {
        const QMutexLocker lock(&m_mutex);
        m_receiver = nullptr;
    }

private:
    QMutex m_mutex;
    QObject *m_receiver;
};
