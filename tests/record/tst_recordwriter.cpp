#include "record/recordstore.h"
#include "record/recordwriter.h"
#include "samplerecord.h"
#include "support/hungserver.h"

#include <QTemporaryDir>
#include <QTest>
#include <QThread>

// Records kept on the writer's own thread, their outcomes back in order on
// the thread that asked.
class TestRecordWriter : public QObject {
    Q_OBJECT
private slots:
    void outcomesComeBackInOrderOnTheAskingThread();
    void aWriterGoneHasKeptWhatItWasGiven();
    void aStoreThatHangsIsGivenUpOnInTime();
};

StoreAddress sqliteAt(const QString &path)
{
    return std::get<StoreAddress>(parseStoreAddress(path));
}

void TestRecordWriter::outcomesComeBackInOrderOnTheAskingThread()
{
    QTemporaryDir dir;
    RecordWriter writer(sqliteAt(dir.filePath("history.sqlite")));
    QList<int> order;
    bool allOnThisThread = true;
    for (int board = 1; board <= 20; ++board) {
        JobRecord record = sampleRecord();
        record.board = QString::number(board);
        writer.keep(record, [&, board](const KeepOutcome &outcome) {
            allOnThisThread = allOnThisThread && QThread::currentThread() == thread();
            if (outcome.stored)
                order << board;
        });
    }
    QVERIFY(order.isEmpty()); // nothing is kept while the asker waits
    QTRY_COMPARE(order.size(), 20);
    QList<int> expected;
    for (int board = 1; board <= 20; ++board)
        expected << board;
    QCOMPARE(order, expected);
    QVERIFY(allOnThisThread);
}

void TestRecordWriter::aWriterGoneHasKeptWhatItWasGiven()
{
    QTemporaryDir dir;
    const StoreAddress address = sqliteAt(dir.filePath("history.sqlite"));
    bool told = false;
    {
        RecordWriter writer(address);
        for (int board = 1; board <= 5; ++board)
            writer.keep(sampleRecord(), [&](const KeepOutcome &) { told = true; });
    }
    QVERIFY(!told); // the asker went with the writer
    RecordStore store(address);
    QString error;
    const auto records = store.read({}, &error);
    QVERIFY2(records, qPrintable(error));
    QCOMPARE(records->size(), 5);
}

// A server that takes the connection and never answers: the outcome comes at
// the writer's timeout, the record is in the fallback file once, and the
// writer does not write it anywhere again once it has given up on it.
void TestRecordWriter::aStoreThatHangsIsGivenUpOnInTime()
{
    QTemporaryDir data;
    qputenv("XDG_DATA_HOME", data.path().toLocal8Bit());
    HungServer hung;
    QVERIFY(hung.port() != 0);
    const StoreAddress address = std::get<StoreAddress>(
        parseStoreAddress(QStringLiteral("postgresql://line@127.0.0.1:%1/x").arg(hung.port())));
    const QString fallback = unrecordedFile(address);
    QList<KeepOutcome> outcomes;
    {
        RecordWriter writer(address, 300);
        for (int board = 1; board <= 3; ++board)
            writer.keep(sampleRecord(), [&](const KeepOutcome &outcome) { outcomes << outcome; });
        QTRY_COMPARE(outcomes.size(), 3);
    }
    for (const KeepOutcome &outcome : std::as_const(outcomes)) {
        QVERIFY(!outcome.stored);
        QVERIFY2(outcome.message.contains("did not answer within 0.3 s") &&
                     outcome.message.endsWith("kept in " + fallback),
                 qPrintable(outcome.message));
    }
    QFile kept(fallback);
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll().count('\n'), 3);
}

QTEST_GUILESS_MAIN(TestRecordWriter)
#include "tst_recordwriter.moc"
