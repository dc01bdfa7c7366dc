#include "record/historycsv.h"
#include "samplerecord.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTest>

class TestHistoryCsv : public QObject {
    Q_OBJECT
private slots:
    void headerFollowsTheJsonWithTagsSpreadOut();
    void fieldsReadBackAsMeant_data();
    void fieldsReadBackAsMeant();
};

namespace {

// Python's csv module, a reader that is not ours, in its strict mode.
QList<QStringList> readByPython(const QString &csv)
{
    QProcess python;
    python.start("python3", {"-c", "import csv, io, json, sys\n"
                                   "text = io.TextIOWrapper(sys.stdin.buffer, encoding='utf-8', "
                                   "newline='')\n"
                                   "print(json.dumps(list(csv.reader(text, strict=True))))\n"});
    if (!python.waitForStarted())
        qFatal("python3 did not start: %s", qPrintable(python.errorString()));
    python.write(csv.toUtf8());
    python.closeWriteChannel();
    if (!python.waitForFinished(30000) || python.exitCode() != 0)
        qFatal("python3 could not read the CSV: %s", python.readAllStandardError().constData());
    QList<QStringList> rows;
    for (const QJsonValue row : QJsonDocument::fromJson(python.readAllStandardOutput()).array()) {
        QStringList fields;
        for (const QJsonValue field : row.toArray())
            fields << field.toString();
        rows << fields;
    }
    return rows;
}

JobRecord taggedRecord(const RecordTags &tags)
{
    JobRecord record = sampleRecord();
    record.tags = tags;
    return record;
}

} // namespace

void TestHistoryCsv::headerFollowsTheJsonWithTagsSpreadOut()
{
    const QList<JobRecord> records{taggedRecord({{"order", "A-17"}}), sampleRecord(),
                                   taggedRecord({{"lot", "L2"}, {"order", "A-18"}})};
    const QList<QStringList> rows = readByPython(historyCsv(records));
    QCOMPARE(rows.size(), 4);
    QCOMPARE(rows.first().join(u','),
             QStringLiteral("board,port,result,exit,lines,resends,seconds,started,ended,face,host,"
                            "version,file,sha256,file_lines,pace,error,reply,job_id,run,attempt,"
                            "tag.lot,tag.order,trace,record_id,port_kind"));
    const qsizetype lot = rows.first().indexOf("tag.lot");
    const qsizetype order = rows.first().indexOf("tag.order");
    QCOMPARE(rows[1][lot], QString());
    QCOMPARE(rows[1][order], QStringLiteral("A-17"));
    QCOMPARE(rows[2][order], QString());
    QCOMPARE(rows[3][lot], QStringLiteral("L2"));
    // No tags anywhere: no tag columns at all.
    QVERIFY(!historyCsv({sampleRecord()}).contains("tag."));
}

void TestHistoryCsv::fieldsReadBackAsMeant_data()
{
    QTest::addColumn<JobRecord>("record");
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("field"); // as a spreadsheet gets it

    const JobRecord sample = sampleRecord();
    QTest::newRow("a time as the JSON has it") << sample << "started"
                                               << "2026-12-08T04:12:56.123Z";
    QTest::newRow("seconds as the JSON has them") << sample << "seconds"
                                                  << "1.979";
    JobRecord untried = sample;
    untried.started = QDateTime();
    untried.result = "not tried";
    untried.exitCode = 3;
    QTest::newRow("no time: empty") << untried << "started"
                                    << "";
    QTest::newRow("an exit code") << untried << "exit"
                                  << "3";

    JobRecord record = sample;
    record.file = "/lines/a,b/blink.hex";
    QTest::newRow("a comma") << record << "file"
                             << "/lines/a,b/blink.hex";
    record = sample;
    record.reply = "he said \"ERROR\", twice";
    QTest::newRow("quotes") << record << "reply"
                            << "he said \"ERROR\", twice";
    record = sample;
    record.error = "line 1\r\nline 2";
    QTest::newRow("a line break, made visible") << record << "error"
                                                << "line 1\\x0D\\x0Aline 2";
    record = sample;
    record.version = "VER=1.0\x1b[2J";
    QTest::newRow("an escape, made visible") << record << "version"
                                             << "VER=1.0\\x1B[2J";

    // What a spreadsheet would run as a formula is kept as text.
    const char *formulas[][2] = {
        {"=HYPERLINK(\"http://x\",\"ok\")", "'=HYPERLINK(\"http://x\",\"ok\")"},
        {"+1+2", "'+1+2"},
        {"-2+3", "'-2+3"},
        {"@SUM(A1)", "'@SUM(A1)"},
        {"\t=1", "'\\x09=1"},
        {"\r=1", "'\\x0D=1"}};
    for (const auto &[given, kept] : formulas) {
        record = sample;
        record.version = QString::fromLatin1(given);
        QTest::addRow("formula %s in a text", kept)
            << record << "version" << QString::fromLatin1(kept);
    }
    record = sample;
    record.tags = {{"order", "=cmd|' /C calc'!A0"}};
    QTest::newRow("formula in a tag") << record << "tag.order"
                                      << "'=cmd|' /C calc'!A0";
    record = sample;
    record.board = "-1";
    QTest::newRow("formula in the board") << record << "board"
                                          << "'-1";
    record = sample;
    record.tags = {{"-", "x"}};
    QTest::newRow("a tag key that would be a formula alone") << record << "tag.-"
                                                             << "x";
}

// Each field of the record, read back by another reader, is what was
// written, and the lines end as RFC 4180 says.
void TestHistoryCsv::fieldsReadBackAsMeant()
{
    QFETCH(JobRecord, record);
    QFETCH(QString, column);
    QFETCH(QString, field);
    const QList<JobRecord> records{record, taggedRecord({{"lot", "L1,\"2\""}})};
    const QString csv = historyCsv(records);
    QCOMPARE(csv.count("\r\n"), 3);
    QCOMPARE(csv.count(u'\n'), 3);
    QCOMPARE(csv.count(u'\r'), 3);

    const QList<QStringList> rows = readByPython(csv);
    QCOMPARE(rows.size(), 3);
    for (const QStringList &row : rows)
        QCOMPARE(row.size(), rows.first().size());
    const qsizetype at = rows.first().indexOf(column);
    QVERIFY2(at >= 0, qPrintable(rows.first().join(u',')));
    QCOMPARE(rows[1][at], field);
    QCOMPARE(rows[2][rows.first().indexOf("tag.lot")], QStringLiteral("L1,\"2\""));
    QCOMPARE(rows[2][rows.first().indexOf("host")], QStringLiteral("bench3"));
}

QTEST_APPLESS_MAIN(TestHistoryCsv)
#include "tst_historycsv.moc"
