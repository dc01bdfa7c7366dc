#include "record/recordwriter.h"

#include "record/recordstore.h"

#include <QDeadlineTimer>
#include <QPointer>
#include <QTimer>

#include <atomic>
#include <memory>

RecordWriter::RecordWriter(const StoreAddress &address, int timeoutMs, QObject *parent)
    : QObject(parent), m_store(nullptr), m_address(address), m_timeoutMs(timeoutMs)
{
    m_worker.moveToThread(&m_thread);
    m_thread.start();
    QMetaObject::invokeMethod(
        &m_worker, [this, address, timeoutMs] { m_store = new RecordStore(address, timeoutMs); },
        Qt::QueuedConnection);
}

RecordWriter::~RecordWriter()
{
    // Queued after every record asked for: they are kept first.
    QMetaObject::invokeMethod(
        &m_worker,
        [this] {
            delete m_store;
            m_store = nullptr;
        },
        Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
}

// Whichever is first, the store's answer or the deadline, tells the outcome;
// a record given up on is not written to the store afterwards, so that it is
// in one place only (unless the store took it at that very moment).
void RecordWriter::keep(const JobRecord &record, std::function<void(const KeepOutcome &)> then)
{
    auto decided = std::make_shared<std::atomic<bool>>(false);
    const QDeadlineTimer timeLeft(m_timeoutMs);
    QPointer<QTimer> deadline = new QTimer(this);
    deadline->setSingleShot(true);
    connect(deadline, &QTimer::timeout, this, [this, record, then, decided, deadline] {
        deadline->deleteLater();
        if (decided->exchange(true))
            return;
        then(keepUnrecorded(m_address, record,
                            QStringLiteral("the store did not answer within %1 s")
                                .arg(m_timeoutMs / 1000.0, 0, 'g', 3)));
    });
    deadline->start(m_timeoutMs);
    QMetaObject::invokeMethod(
        &m_worker,
        [this, record, then = std::move(then), decided, deadline, timeLeft] {
            // Given up on, or about to be: the deadline's own timer tells.
            if (decided->load() || timeLeft.remainingTime() <= 0)
                return;
            // No longer than the record has left, so that the writer is free
            // soon after the last record is given up on.
            m_store->limitWaits(int(timeLeft.remainingTime()));
            QString error;
            const bool stored = m_store->write(record, &error);
            if (decided->exchange(true))
                return;
            const KeepOutcome outcome =
                stored ? KeepOutcome{true, {}} : keepUnrecorded(m_address, record, error);
            QMetaObject::invokeMethod(
                this,
                [then, outcome, deadline] {
                    if (deadline)
                        deadline->deleteLater();
                    then(outcome);
                },
                Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}
