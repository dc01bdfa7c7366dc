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
// loop that runs the jobs. Each outcome comes back in order, on the thread
// that asked.
class RecordWriter : public QObject {
    Q_OBJECT
public:
    explicit RecordWriter(const StoreAddress &address, QObject *parent = nullptr);
    // Waits until every record asked for is kept; outcomes not yet delivered
    // are dropped with the writer.
    ~RecordWriter() override;

    void keep(const JobRecord &record, std::function<void(const KeepOutcome &)> then);

private:
    QThread m_thread;
    QObject m_worker;     // lives on m_thread
    RecordStore *m_store; // made, used and deleted on m_thread
};
