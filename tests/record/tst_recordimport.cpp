#include "concurrentwriters.h"
#include "record/recordimport.h"
#include "record/recordkeeper.h"
#include "samplerecord.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

// Moving the records that wait in the fallback file into the store: each
// once, nothing lost, and every line that stays named.
class TestRecordImport : public QObject {
    Q_OBJECT
private slots:
    void init();
    void movesEachRecordOnce_data();
    void movesEachRecordOnce();
    void aFailingStoreLeavesTheFileAsItWas();
    void anAppenderLosesNothing();

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QTemporaryDir m_dir;
    int m_case = 0;
};

namespace {

QByteArray line(const JobRecord &record)
{
    return QJsonDocument(toJson(record)).toJson(QJsonDocument::Compact) + '\n';
}

// A job's "started" record and its end, and another job's end alone.
QByteArray threeRecords()
{
    JobRecord first = sampleRecord();
    first.jobId = "job-1";
    JobRecord started = first;
    started.result = "started";
    started.recordId = recordIdOf(first.jobId, true);
    JobRecord second = sampleRecord();
    second.board = "6"; // no job id: its id comes from the line itself
    return line(started) + line(first) + line(second);
}

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(cannot be read)");
}

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(content) == content.size();
}

qsizetype storedJobs(RecordStore &store)
{
    QString error;
    const auto records = store.read({}, &error);
    return records ? records->size() : -1;
}

} // namespace

void TestRecordImport::init()
{
    QVERIFY(m_dir.isValid());
    ++m_case;
}

void TestRecordImport::movesEachRecordOnce_data()
{
    const QByteArray damaged = R"({"job_id":"job-9","result":"done","lines":)"
                               "\n";
    const QByteArray notARecord = R"({"job_id":"job-8"})"
                                  "\n";
    const QByteArray fragment = R"({"job_id":"job-7","res)";
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QList<qsizetype>>("notRecords");
    QTest::addColumn<QByteArray>("left");
    QTest::newRow("records alone") << threeRecords() << QList<qsizetype>{} << QByteArray();
    QTest::newRow("a damaged line among them")
        << damaged + threeRecords() + notARecord << QList<qsizetype>{1, 5} << damaged + notARecord;
    QTest::newRow("a fragment at the end, after a blank line")
        << threeRecords() + "\n" + fragment << QList<qsizetype>{5} << fragment + '\n';
}

// Twice over the same file, and once more over its records kept again: the
// store holds each record once, and only the lines that are no record stay.
void TestRecordImport::movesEachRecordOnce()
{
    QFETCH(QByteArray, content);
    QFETCH(QList<qsizetype>, notRecords);
    QFETCH(QByteArray, left);
    const QString folder = path(QString::number(m_case));
    QVERIFY(QDir().mkpath(folder));
    const QString fallback = folder + "/unrecorded.jsonl";
    QVERIFY(writeFile(fallback, content));
    RecordStore store(std::get<StoreAddress>(parseStoreAddress(folder + "/history.sqlite")));
    QCOMPARE(unrecordedFile(store.address()), fallback);

    ImportOutcome first = importUnrecorded(store, fallback);
    QCOMPARE(first.added, 3);
    QCOMPARE(first.alreadyStored, 0);
    QCOMPARE(first.notRecords, notRecords);
    QCOMPARE(first.emptied(), notRecords.isEmpty());
    QCOMPARE(contentOf(fallback), left);

    const ImportOutcome again = importUnrecorded(store, fallback);
    QCOMPARE(again.added + again.alreadyStored, 0);
    QCOMPARE(again.nothingWaited, left.isEmpty());
    QCOMPARE(contentOf(fallback), left); // nothing moved: not rewritten

    QVERIFY(writeFile(fallback, threeRecords()));
    const ImportOutcome keptAgain = importUnrecorded(store, fallback);
    QCOMPARE(keptAgain.added, 0);
    QCOMPARE(keptAgain.alreadyStored, 3);
    QCOMPARE(contentOf(fallback), QByteArray());
    QCOMPARE(storedJobs(store), 2);
}

// A store that cannot be made: not a byte of the file changes, and the
// outcome says where it stopped.
void TestRecordImport::aFailingStoreLeavesTheFileAsItWas()
{
    QVERIFY(writeFile(path("not-a-folder"), "a file"));
    const QString fallback = path("failing.jsonl");
    const QByteArray content = "damaged\n" + threeRecords();
    QVERIFY(writeFile(fallback, content));
    RecordStore store(
        std::get<StoreAddress>(parseStoreAddress(path("not-a-folder/history.sqlite"))));
    const ImportOutcome outcome = importUnrecorded(store, fallback);
    QVERIFY(!outcome.storeError.isEmpty());
    QCOMPARE(outcome.storeStoppedAt, 2);
    QCOMPARE(outcome.lastLine, 4);
    QCOMPARE(outcome.notRecords, QList<qsizetype>{1});
    QCOMPARE(outcome.added, 0);
    QVERIFY(!outcome.emptied());
    QCOMPARE(contentOf(fallback), content);
}

// Another process appends, after a record and a line cut short, while
// imports run one after the other: once both are over, every record is in
// the store and only the cut line waits.
void TestRecordImport::anAppenderLosesNothing()
{
    constexpr int Appended = 400;
    QVERIFY(QDir().mkpath(path("shared")));
    const QString fallback = path("shared/unrecorded.jsonl");
    const QByteArray fragment = R"({"job_id":"cut)";
    QVERIFY(writeFile(fallback, line(sampleRecord()) + fragment));
    RecordStore store(std::get<StoreAddress>(parseStoreAddress(path("shared/history.sqlite"))));
    QProcess appender;
    appender.start(recordWriter(), {"--unrecorded", fallback, QString::number(Appended)});
    QVERIFY(appender.waitForStarted());
    qsizetype moved = 0;
    bool over = false;
    while (!over) {
        over = appender.state() == QProcess::NotRunning; // one more import after its end
        const ImportOutcome outcome = importUnrecorded(store, fallback);
        QVERIFY2(outcome.storeError.isEmpty() && outcome.fileError.isEmpty(),
                 qPrintable(outcome.storeError + outcome.fileError));
        QCOMPARE(outcome.notRecords.size(), 1);
        moved += outcome.added;
        if (!over)
            appender.waitForFinished(5);
    }
    QCOMPARE(appender.exitCode(), 0);
    QCOMPARE(moved, Appended + 1);
    QCOMPARE(storedJobs(store), Appended + 1);
    QCOMPARE(contentOf(fallback), fragment + '\n');
}

QTEST_GUILESS_MAIN(TestRecordImport)
#include "tst_recordimport.moc"
