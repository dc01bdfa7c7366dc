#include "record/recordwriter.h"

#include "record/recordstore.h"

RecordWriter::RecordWriter(const StoreAddress &address, QObject *parent)
    : QObject(parent), m_store(nullptr)
{
    m_worker.moveToThread(&m_thread);
    m_thread.start();
    QMetaObject::invokeMethod(
        &m_worker, [this, address] { m_store = new RecordStore(address); }, Qt::QueuedConnection);
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

void RecordWriter::keep(const JobRecord &record, std::function<void(const KeepOutcome &)> then)
{
    QMetaObject::invokeMethod(
        &m_worker,
        [this, record, then = std::move(then)] {
            const KeepOutcome outcome = keepRecord(*m_store, record);
            QMetaObject::invokeMethod(
                this, [then, outcome] { then(outcome); }, Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}
