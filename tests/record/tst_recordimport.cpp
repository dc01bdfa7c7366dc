#include "concurrentwriters.h"
#include "record/recordimport.h"
#include "record/recordkeeper.h"
#include "samplerecord.h"

#include <QDir>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

// Moving the records that wait in the fallback file into the store: each
// once, no line lost, and every line that stays named.
class TestRecordImport : public QObject {
    Q_OBJECT
private slots:
    void movesEachRecordOnceAndLeavesTheRest();
    void aFailingStoreLeavesTheFileAsItWas();
    void anAppenderLosesNothing();
    void eachStoreTakesItsOwn();

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QTemporaryDir m_dir;
};

namespace {

QByteArray line(const JobRecord &record)
{
    return QJsonDocument(toJson(record)).toJson(QJsonDocument::Compact) + '\n';
}

// A job's "started" record and its end; another record with no job id,
// whose id comes from the line itself.
QByteArray threeRecords()
{
    JobRecord ended = sampleRecord();
    ended.jobId = "job-1";
    JobRecord started = ended;
    started.result = "started";
    JobRecord other = sampleRecord();
    other.board = "6";
    return line(started) + line(ended) + line(other);
}

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : "(cannot be read)";
}

void writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(content), content.size());
}

RecordStore storeIn(const QString &folder)
{
    return RecordStore(std::get<StoreAddress>(parseStoreAddress(folder + "/history.sqlite")));
}

} // namespace

// Imported, imported again, then the same records kept again and imported:
// the store holds each once, and the damaged line and the cut one stay.
void TestRecordImport::movesEachRecordOnceAndLeavesTheRest()
{
    const QByteArray damaged = R"({"job_id":"job-9","result":"done","lines":)"
                               "\n";
    const QByteArray cut = R"({"job_id":"job-7","res)";
    const QString fallback = path("unrecorded.jsonl");
    writeFile(fallback, damaged + threeRecords() + "\n" + cut);
    RecordStore store = storeIn(m_dir.path());
    const ImportOutcome first = importUnrecorded(store, fallback);
    QCOMPARE(first.added, 3);
    QCOMPARE(first.notRecords, QList<qsizetype>({1, 6}));
    QVERIFY(!first.emptied());
    QCOMPARE(contentOf(fallback), damaged + cut + '\n');

    const ImportOutcome again = importUnrecorded(store, fallback);
    QCOMPARE(again.added + again.alreadyStored, 0);
    QCOMPARE(again.notRecords, QList<qsizetype>({1, 2}));
    QCOMPARE(contentOf(fallback), damaged + cut + '\n');

    writeFile(fallback, threeRecords());
    const ImportOutcome keptAgain = importUnrecorded(store, fallback);
    QCOMPARE(keptAgain.alreadyStored, 3);
    QVERIFY(keptAgain.emptied());
    QCOMPARE(contentOf(fallback), QByteArray());
    QString error;
    QCOMPARE(store.read({}, &error)->size(), 2); // a job each
}

// A store that cannot be made: not a byte of the file changes, and the
// outcome says where it stopped.
void TestRecordImport::aFailingStoreLeavesTheFileAsItWas()
{
    writeFile(path("not-a-folder"), "a file");
    const QString fallback = path("failing.jsonl");
    writeFile(fallback, "damaged\n" + threeRecords());
    RecordStore store = storeIn(path("not-a-folder"));
    const ImportOutcome outcome = importUnrecorded(store, fallback);
    QVERIFY(!outcome.storeError.isEmpty());
    QCOMPARE(outcome.storeStoppedAt, 2);
    QCOMPARE(outcome.lastLine, 4);
    QCOMPARE(outcome.notRecords, QList<qsizetype>{1});
    QCOMPARE(contentOf(fallback), "damaged\n" + threeRecords());
}

// Another process appends, after a record and a line cut short, while
// imports run one after the other: once both are over, every record is in
// the store and only the cut line waits.
void TestRecordImport::anAppenderLosesNothing()
{
    constexpr int Appended = 400;
    QVERIFY(QDir().mkpath(path("shared")));
    const QString fallback = path("shared/unrecorded.jsonl");
    writeFile(fallback, line(sampleRecord()) + "cut");
    RecordStore store = storeIn(path("shared"));
    QProcess appender;
    appender.start(recordWriter(), {"--unrecorded", fallback, QString::number(Appended)});
    QVERIFY(appender.waitForStarted());
    qsizetype moved = 0;
    for (bool over = false; !over; appender.waitForFinished(5)) {
        over = appender.state() == QProcess::NotRunning; // one more import after its end
        const ImportOutcome outcome = importUnrecorded(store, fallback);
        QVERIFY2(outcome.storeError.isEmpty() && outcome.fileError.isEmpty(),
                 qPrintable(outcome.storeError + outcome.fileError));
        moved += outcome.added;
    }
    QCOMPARE(appender.exitCode(), 0);
    QCOMPARE(moved, Appended + 1);
    QCOMPARE(contentOf(fallback), QByteArray("cut\n"));
}

// One file beside two stores: each import takes the records meant for its
// store, and those of a Bootline that named none; the other's stay.
void TestRecordImport::eachStoreTakesItsOwn()
{
    QVERIFY(QDir().mkpath(path("two")));
    const QString fallback = path("two/unrecorded.jsonl");
    RecordStore first = storeIn(path("two"));
    RecordStore second(std::get<StoreAddress>(parseStoreAddress(path("two/other.sqlite"))));
    JobRecord record = sampleRecord();
    for (const RecordStore *meantFor : {&first, &second, &first}) {
        record.jobId = meantFor == &first ? "first-" : "second-";
        record.jobId += QString::number(record.board.toInt() + 1);
        record.board = QString::number(record.board.toInt() + 1);
        QVERIFY(appendUnrecorded(fallback, record, meantFor->address()));
    }
    QFile file(fallback);
    QVERIFY(file.open(QIODevice::Append));
    file.write(line(sampleRecord())); // named no store
    file.close();
    const QByteArray secondsLine = contentOf(fallback).split('\n').at(1) + '\n';
    QCOMPARE(readUnrecorded(fallback, second.address()).forOtherStores, 2);

    const ImportOutcome intoFirst = importUnrecorded(first, fallback);
    QCOMPARE(intoFirst.added, 3);
    QCOMPARE(intoFirst.forOtherStores, QList<qsizetype>{2});
    QVERIFY(intoFirst.emptied());
    QCOMPARE(contentOf(fallback), secondsLine);
    const ImportOutcome intoSecond = importUnrecorded(second, fallback);
    QCOMPARE(intoSecond.added, 1);
    QCOMPARE(contentOf(fallback), QByteArray());
    QString error;
    QCOMPARE(second.read({}, &error)->value(0).jobId, QStringLiteral("second-7"));
}

QTEST_GUILESS_MAIN(TestRecordImport)
#include "tst_recordimport.moc"
