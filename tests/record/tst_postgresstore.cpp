#include "concurrentwriters.h"
#include "postgresserver.h"
#include "record/recordkeeper.h"
#include "storecases.h"

#include <QTemporaryDir>
#include <QTest>

// The record store on a PostgreSQL server that the test starts and stops.
class TestPostgresStore : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void roundTrip();
    void filters_data();
    void filters();
    void manyProcessesAtOnce();
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

// The stores' connections go before the server.
void TestPostgresStore::cleanupTestCase()
{
    m_filterStore.reset();
}

QTEST_GUILESS_MAIN(TestPostgresStore)
#include "tst_postgresstore.moc"
