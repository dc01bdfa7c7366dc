#include "record/recordstore.h"
#include "record/recordwriter.h"
#include "samplerecord.h"

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

QTEST_GUILESS_MAIN(TestRecordWriter)
#include "tst_recordwriter.moc"
