#pragma once

#include "record/jobrecord.h"
#include "record/recordkeeper.h"
#include "record/storeaddress.h"

#include <QObject>
#include <QThread>

#include <functional>

class RecordStore;

// Keeps records on a thread of its own, so that a slow or unreachable store
// (a PostgreSQL server that takes seconds to refuse) never holds up the event
// loop that runs the jobs. Each outcome comes back on the thread that asked,
// within the store's timeout: a record the store has not taken by then is
// kept in the fallback file instead, and the outcome says so.
class RecordWriter : public QObject {
    Q_OBJECT
public:
    // timeoutMs: how long a record may take, from the moment it is asked for.
    explicit RecordWriter(const StoreAddress &address, int timeoutMs = DefaultStoreTimeoutMs,
                          QObject *parent = nullptr);
    // Waits until every record asked for, and not yet given up on, is kept;
    // outcomes not yet delivered are dropped with the writer.
    ~RecordWriter() override;

    void keep(const JobRecord &record, std::function<void(const KeepOutcome &)> then);

private:
    QThread m_thread;
    QObject m_worker;     // lives on m_thread
    RecordStore *m_store; // made, used and deleted on m_thread
    StoreAddress m_address;
    int m_timeoutMs;
};
