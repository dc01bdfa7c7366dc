#pragma once

#include "record/jobrecord.h"
#include "record/storeaddress.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

// Which records to read back.
struct HistoryFilter {
    QDateTime since;         // invalid: from the first
    QString port;            // empty: every port
    bool failedOnly = false; // every result but "done"
};

// The records of board jobs in one store, over a Qt SQL connection of its
// own. Opens on first use, and makes the SQLite file's folder and the table
// when they are missing. Many processes may write to one store at once.
// Main thread only, as Qt SQL connections are.
class RecordStore {
public:
    explicit RecordStore(StoreAddress address, int timeoutMs = DefaultStoreTimeoutMs);
    ~RecordStore();
    RecordStore(const RecordStore &) = delete;
    RecordStore &operator=(const RecordStore &) = delete;

    const StoreAddress &address() const { return m_address; }

    // With the address none, writes nothing and succeeds.
    bool write(const JobRecord &record, QString *error);
    bool createSchema(QString *error) { return prepare(error); }
    // Newest first. With the address none, no records.
    std::optional<QList<JobRecord>> read(const HistoryFilter &filter, QString *error);

private:
    bool open(QString *error);
    bool prepare(QString *error);
    bool createTable(QString *error);
    QString failure(const QString &what, const QString &driverText) const;

    StoreAddress m_address;
    QString m_connection; // the Qt SQL connection's name, unique to this store
    int m_timeoutMs;
    bool m_ready = false;
};
