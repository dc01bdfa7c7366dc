#pragma once

#include "record/historysummary.h"
#include "record/jobrecord.h"
#include "record/storeaddress.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

class QSqlQuery;
struct BoundStatement;
struct SqlDialect;
struct StoreSchema;

// Which records to read back.
struct HistoryFilter {
    QDateTime since;         // invalid: from the first
    QDateTime until;         // invalid: to the last; else jobs begun before it
    QString port;            // empty: every port
    QString board;           // empty: every board; else as recorded: "5", "scan"
    QString sha256Prefix;    // empty: every file; else the first hex digits of its SHA-256
    QString runId;           // empty: every run
    RecordTags tags;         // each of them, with that very value
    bool failedOnly = false; // every result but "done": unfinished jobs too
    int limit = 0;           // the newest so many; 0: all
};

// The records of board jobs in one store (table bootline_jobs), over Qt SQL
// connections of its own. Records are only ever added, never changed: a job
// writes a "started" record and then its end under the same job id, so a
// role that may only insert can keep them.
//
// A SQLite file, its folder and its table are made on the first write, and
// a store of today's first table (jobs) is brought up to date then. On
// PostgreSQL a write never changes the schema: createSchema() does, run by a
// role that may create tables. Reading never writes. A store of a newer
// schema than this program knows is neither read nor written.
//
// Many processes may write to one store at once. Main thread only, as Qt
// SQL connections are.
class RecordStore {
public:
    // timeoutMs bounds every wait: for a busy SQLite file, to connect to a
    // PostgreSQL server and for each statement there.
    explicit RecordStore(StoreAddress address, int timeoutMs = DefaultStoreTimeoutMs);
    ~RecordStore();
    RecordStore(const RecordStore &) = delete;
    RecordStore &operator=(const RecordStore &) = delete;

    const StoreAddress &address() const { return m_address; }

    // Adds the record once: one whose id the store holds already is left
    // out, and that is success. With the address none, writes nothing.
    // added, when given: whether this write put the record in.
    bool write(const JobRecord &record, QString *error, bool *added = nullptr);
    // From now on, waits no longer than this (at least 2 s to connect to
    // PostgreSQL, libpq's least): for a record whose time is running out.
    void limitWaits(int timeoutMs);
    // Newest first, one record a job: its end, or its "started" record when
    // no end came. With the address none, no records. No value when the
    // store cannot be read whole: missing, damaged, of a newer schema.
    std::optional<QList<JobRecord>> read(const HistoryFilter &filter, QString *error);
    // The same records in the same order, each handed on as the store hands
    // it over, none gathered: memory does not grow with the store. False when
    // the store cannot be read, or breaks off part way: the records handed
    // on so far stand, and the error says why.
    bool readEach(const HistoryFilter &filter, const std::function<void(const JobRecord &)> &each,
                  QString *error);
    // The same, after the tag keys of those records (each once, in no order),
    // from the same look at the store: a CSV's header needs them first.
    bool readEachWithTagKeys(const HistoryFilter &filter,
                             const std::function<void(const QStringList &tagKeys)> &keys,
                             const std::function<void(const JobRecord &)> &each, QString *error);
    // The summary of the records read() would give, computed by the
    // database; by as --by takes it, empty for one group. No value when
    // the store cannot be read.
    std::optional<HistorySummary> summarize(const HistoryFilter &filter, const QString &by,
                                            QString *error);
    // Makes the tables, or brings a store of an older schema up to date, in
    // one transaction; succeeds on a store already up to date.
    bool createSchema(QString *error);

private:
    enum class Access { Read, Write };

    bool open(Access access, QString *error);
    bool openSqliteForRead(QString *error);
    bool prepare(QString *error);
    bool upgrade(QString *error);
    std::optional<StoreSchema> inspect(Access access, QString *error);
    bool tooNew(const StoreSchema &schema, const QString &what, QString *error) const;
    QString failure(const QString &what, const QString &driverText) const;
    QString connectionName(Access access) const;
    // A statement made for the store's schema, each of its rows handed on
    // as it comes.
    struct ReadStep {
        std::function<BoundStatement(const SqlDialect &, int schemaVersion)> statement;
        std::function<void(const QSqlQuery &row)> each;
    };
    // Runs the steps in turn on a connection that only reads; two or more
    // in one transaction, so that they see the store alike.
    bool readRows(const QList<ReadStep> &steps, QString *error);
    static ReadStep recordsStep(const HistoryFilter &filter,
                                const std::function<void(const JobRecord &)> &each);

    StoreAddress m_address;
    const SqlDialect &m_dialect;
    int m_timeoutMs;
    QString m_connection; // the Qt SQL connections' name, unique to this store
    bool m_ready = false;
};
