#include "concurrentwriters.h"
#include "postgresserver.h"
#include "record/recordcolumns.h"
#include "record/recordkeeper.h"
#include "storecases.h"
#include "summarycases.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

// The record store on a PostgreSQL server that the test starts and stops.
class TestPostgresStore : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void roundTrip();
    void filters_data();
    void filters();
    void manyProcessesAtOnce();
    void unfinishedJobs();
    void oldStoreBroughtUp_data();
    void oldStoreBroughtUp();
    void indexesAdded();
    void summariesAsOnSqlite();
    void rolesAndRights_data();
    void rolesAndRights();
    void boundedWaits_data();
    void boundedWaits();
    void aLongReadRunsToItsEnd();
    void cleanupTestCase();

private:
    QTemporaryDir m_data; // XDG_DATA_HOME, for the file of records not stored
    PostgresServer m_server;
    std::unique_ptr<RecordStore> m_filterStore;
};

void TestPostgresStore::initTestCase()
{
    QVERIFY(m_data.isValid());
    qputenv("XDG_DATA_HOME", m_data.path().toLocal8Bit());
    const QString error = m_server.start();
    QVERIFY2(error.isEmpty(), qPrintable(error));
}

void TestPostgresStore::roundTrip()
{
    QCOMPARE(m_server.createDatabase("roundtrip"), QString());
    checkRoundTrip(parsed(m_server.url("roundtrip")));
}

void TestPostgresStore::filters_data()
{
    addFilterRows();
}

void TestPostgresStore::filters()
{
    if (!m_filterStore) {
        QCOMPARE(m_server.createDatabase("filters"), QString());
        m_filterStore = filterStore(parsed(m_server.url("filters")));
    }
    checkFilterRow(*m_filterStore);
}

void TestPostgresStore::manyProcessesAtOnce()
{
    QCOMPARE(m_server.createDatabase("race"), QString());
    makeSchema(parsed(m_server.url("race")));
    const int processes = 8;
    const int each = 100;
    double perSecond = 0;
    const QString failures = writeAtOnce(m_server.url("race"), processes, each, &perSecond);
    QVERIFY2(failures.isEmpty(), qPrintable(failures));
    qInfo("PostgreSQL: %d processes wrote %d records at %.0f records/s", processes,
          processes * each, perSecond);

    RecordStore store(parsed(m_server.url("race")));
    checkAllRead(store, processes * each);
    QVERIFY(!QFile::exists(unrecordedFile(store.address())));
}

void TestPostgresStore::unfinishedJobs()
{
    QCOMPARE(m_server.createDatabase("unfinished"), QString());
    checkUnfinishedJobs(parsed(m_server.url("unfinished")));
}

void TestPostgresStore::oldStoreBroughtUp_data()
{
    addOldStoreRows();
}

void TestPostgresStore::oldStoreBroughtUp()
{
    const QString database = QString("old_") + QTest::currentDataTag();
    QCOMPARE(m_server.createDatabase(database), QString());
    checkOldStoreBroughtUp(parsed(m_server.url(database)));
}

void TestPostgresStore::indexesAdded()
{
    QCOMPARE(m_server.createDatabase("third_schema"), QString());
    checkIndexesAdded(parsed(m_server.url("third_schema")));
}

// The same records give the same summary on both kinds of store.
void TestPostgresStore::summariesAsOnSqlite()
{
    QCOMPARE(m_server.createDatabase("summaries"), QString());
    const StoreAddress address = parsed(m_server.url("summaries"));
    makeSchema(address);
    RecordStore store(address);
    writeEach(store, benchRecords());
    for (const QString by : {"", "day", "port", "file", "tag.operator"}) {
        QString error;
        const std::optional<HistorySummary> summary = store.summarize({}, by, &error);
        QVERIFY2(summary, qPrintable(error));
        const HistorySummary expected = summaryOf(benchRecords(), by);
        QCOMPARE(summary->groups.size(), expected.groups.size());
        for (qsizetype index = 0; index < expected.groups.size(); ++index)
            QCOMPARE(describe(summary->groups[index]), describe(expected.groups[index]));
        QCOMPARE(describe(summary->total), describe(expected.total));
    }
}

void TestPostgresStore::rolesAndRights_data()
{
    QTest::addColumn<QString>("grants"); // to a new role; empty: as the owner
    QTest::addColumn<QString>("database");
    QTest::addColumn<bool>("reads");   // else it writes
    QTest::addColumn<QString>("says"); // empty: it may

    const QString reader = "GRANT SELECT ON bootline_jobs, bootline_schema TO %1";
    const QString bench = "GRANT INSERT ON bootline_jobs TO %1;"
                          "GRANT USAGE ON SEQUENCE bootline_jobs_id_seq TO %1;"
                          "GRANT SELECT ON bootline_schema TO %1";
    QTest::newRow("a select-only role reads") << reader << "rights" << true << "";
    QTest::newRow("a select-only role may not write")
        << reader << "rights" << false << "permission denied for table bootline_jobs";
    QTest::newRow("an insert-only role writes") << bench << "rights" << false << "";
    QTest::newRow("an insert-only role may not read")
        << bench << "rights" << true << "permission denied for table bootline_jobs";
    QTest::newRow("even the owner's write makes no table")
        << ""
        << "empty" << false << "it has no table bootline_jobs yet: run bootline-cli";
    const QString newer = "schema version 6, newer than this Bootline knows (5): update Bootline";
    QTest::newRow("a newer schema is not read") << ""
                                                << "newer" << true << newer;
    QTest::newRow("nor written") << ""
                                 << "newer" << false << newer;
}

void TestPostgresStore::rolesAndRights()
{
    QFETCH(QString, grants);
    QFETCH(QString, database);
    QFETCH(bool, reads);
    QFETCH(QString, says);

    static int roles = 0;
    if (roles++ == 0) {
        QCOMPARE(m_server.createDatabase("rights"), QString());
        QCOMPARE(m_server.createDatabase("empty"), QString());
        checkRoundTrip(parsed(m_server.url("rights")));
        QCOMPARE(m_server.createDatabase("newer"), QString());
        makeSchema(parsed(m_server.url("newer")));
        QCOMPARE(execOn(parsed(m_server.url("newer")), {"UPDATE bootline_schema SET version = 6"}),
                 QString());
    }
    QString url = m_server.url(database);
    if (!grants.isEmpty()) {
        const QString role = QString("bench_%1").arg(roles);
        QStringList statements = QStringList{"CREATE ROLE %1 LOGIN"} + grants.split(';');
        QCOMPARE(execOn(parsed(url), statements.replaceInStrings("%1", role)), QString());
        url.replace("bootline@", role + "@");
    }
    RecordStore store(parsed(url));
    QString error;
    const bool done =
        reads ? store.read({}, &error).has_value() : store.write(sampleRecord(), &error);
    QVERIFY2(done == says.isEmpty(), qPrintable(error));
    QVERIFY2(error.isEmpty() || error.contains(store.address().describe() + ": "),
             qPrintable(error));
    QVERIFY2(error.contains(says), qPrintable(error));
    if (database == "empty") // and the read says so too
        QVERIFY(!store.read({}, &error) && error.contains(says));
}

void TestPostgresStore::boundedWaits_data()
{
    QTest::addColumn<QString>("says");
    QTest::newRow("a server that never answers") << "timeout expired";
    QTest::newRow("a parameter the server refuses") << "SSL was required";
    QTest::newRow("a table another holds") << "statement timeout";
}

// A store that does not answer in time fails the write, named, within its
// timeout, rather than holding the job's record for good.
void TestPostgresStore::boundedWaits()
{
    QFETCH(QString, says);

    const QString tag = QTest::currentDataTag();
    StoreAddress address = parsed(m_server.url("waits"));
    if (tag == "a server that never answers")
        QCOMPARE(m_server.createDatabase("waits"), QString());
    makeSchema(address);
    OwnConnection holder(address);
    if (tag == "a table another holds")
        QCOMPARE(holder.exec({"BEGIN", "LOCK TABLE bootline_jobs"}), QString());
    // Its connections the system takes, and nobody ever answers.
    const int silent = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in loopback{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t size = sizeof loopback;
    QVERIFY(::bind(silent, reinterpret_cast<sockaddr *>(&loopback), size) == 0 &&
            ::listen(silent, 8) == 0 &&
            ::getsockname(silent, reinterpret_cast<sockaddr *>(&loopback), &size) == 0);
    if (tag == "a server that never answers") {
        address.port = ntohs(loopback.sin_port);
        address.password = "secret";
    }
    if (tag == "a parameter the server refuses")
        address.parameters << std::pair(QString("sslmode"), QString("require"));
    RecordStore store(address, 2000);
    QString error;
    QVERIFY(!store.write(sampleRecord(), &error));
    ::close(silent);
    QVERIFY2(error.contains("the record store " + address.describe() + ": ") &&
                 error.contains(says),
             qPrintable(error));
    QVERIFY(!error.contains("secret"));
}

// The stores' connections go before the server.
// A list of a big store takes longer than the store's timeout, which bounds
// waits, not reading: a reader slower than the server is never cut short.
void TestPostgresStore::aLongReadRunsToItsEnd()
{
    QCOMPARE(m_server.createDatabase("long"), QString());
    const StoreAddress address = parsed(m_server.url("long"));
    makeSchema(address);
    JobRecord record = sampleRecord();
    QString error;
    QVERIFY2(RecordStore(address).write(record, &error), qPrintable(error));
    QStringList columns;
    for (const RecordColumn &column : recordColumns())
        columns << column.name;
    QString copies = "INSERT INTO bootline_jobs (%1) SELECT %2 FROM bootline_jobs, "
                     "generate_series(1, 100000) AS n";
    QStringList values = columns;
    values.replaceInStrings(QRegularExpression("^(job_id|record_id)$"), "\\1 || n");
    QCOMPARE(execOn(address, {copies.arg(columns.join(','), values.join(','))}), QString());
    RecordStore store(address, 200);
    int rows = 0;
    const auto slowly = [&rows](const JobRecord &) {
        if (++rows % 250 == 0)
            QThread::msleep(1);
    };
    QVERIFY2(store.readEach({}, slowly, &error), qPrintable(error));
    QCOMPARE(rows, 100001);
}

void TestPostgresStore::cleanupTestCase()
{
    m_filterStore.reset();
}

QTEST_GUILESS_MAIN(TestPostgresStore)
#include "tst_postgresstore.moc"
