#include "record/historytext.h"
#include "samplerecord.h"

#include <QJsonDocument>
#include <QTest>

#include <limits>

class TestHistoryText : public QObject {
    Q_OBJECT
private slots:
    void lines_data();
    void lines();
    void since_data();
    void since();
    void jsonLinesAsQtWritesThem();
};

namespace {

QByteArray asQtWritesIt(const JobRecord &record)
{
    return QJsonDocument(toJson(record)).toJson(QJsonDocument::Compact) + '\n';
}

} // namespace

void TestHistoryText::lines_data()
{
    QTest::addColumn<JobRecord>("record");
    QTest::addColumn<QString>("line");

    QTest::newRow("done") << sampleRecord()
                          << "2026-12-08 04:12:56  done         /dev/ttyUSB0  board 5     "
                             "blink.hex         a2c740ec8ba6  VER=1.0 SIM";
    JobRecord failed = sampleRecord();
    failed.port = "COM3";
    failed.board = "scan";
    failed.version.clear();
    failed.result = "failed";
    failed.exitCode = 4;
    failed.error = "no board answered the probe";
    QTest::newRow("failed") << failed
                            << "2026-12-08 04:12:56  failed       COM3          board scan  "
                               "blink.hex         a2c740ec8ba6 exit 4: no board answered the probe";
    JobRecord query = sampleRecord();
    query.file.clear();
    query.sha256.clear();
    query.started = query.started.toOffsetFromUtc(3600); // shown in UTC all the same
    QTest::newRow("no file, a time elsewhere")
        << query
        << "2026-12-08 04:12:56  done         /dev/ttyUSB0  board 5     (no file)         -     "
           "        VER=1.0 SIM";
    JobRecord untried;
    untried.port = "COM3";
    untried.board = "7";
    untried.result = "not tried";
    untried.exitCode = 3;
    untried.error = "port COM3 could not be opened for board 6";
    QTest::newRow("not tried") << untried
                               << "-                    not tried    COM3          board 7     "
                                  "(no file)         - exit 3: port COM3 could not be opened for "
                                  "board 6";
    JobRecord unfinished = sampleRecord();
    unfinished.result = "started";
    unfinished.jobId = "6f1c2d9e-5b7a-4c3e-9d21-0a8b7c6e5f43";
    QTest::newRow("started, never ended")
        << unfinished
        << "2026-12-08 04:12:56  unfinished   /dev/ttyUSB0  board 5     blink.hex         "
           "a2c740ec8ba6  VER=1.0 SIM";
    // A store is anyone's to write: its texts must not drive the terminal.
    JobRecord hostile = failed;
    hostile.version = "\x1b[2J\x1b[H\x1b[32mALL BOARDS PASSED";
    hostile.port = "COM3\t";
    hostile.board = "9\x7f";
    hostile.file = "/fw/a\u009b2Jü\u202e.hex";
    hostile.error = "line 7\r\nOK";
    hostile.tags = {{"serial", "SN-1\x1b[1A"}, {"operator", "ana"}};
    QTest::newRow("control characters shown, not obeyed")
        << hostile
        << "2026-12-08 04:12:56  failed       COM3\\x09      board 9\\x7F  a\\x9B2Jü\\u202E.hex  "
           "a2c740ec8ba6  \\x1B[2J\\x1B[H\\x1B[32mALL BOARDS PASSED  serial SN-1\\x1B[1A exit 4: "
           "line 7\\x0D\\x0AOK";
}

void TestHistoryText::lines()
{
    QFETCH(JobRecord, record);
    QFETCH(QString, line);

    const QString shown = historyLine(record);
    QCOMPARE(shown, line);
    QCOMPARE(jsonLineOf(record), asQtWritesIt(record));
    for (const QChar c : shown)
        QVERIFY2(c.unicode() >= 0x20 && (c.unicode() < 0x7f || c.unicode() > 0x9f) &&
                     c.category() != QChar::Other_Format,
                 qPrintable(shown));
}

void TestHistoryText::since_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("utc"); // empty: refused

    QTest::newRow("a date: midnight UTC") << "2026-12-08"
                                          << "2026-12-08T00:00:00.000Z";
    QTest::newRow("UTC") << "2026-12-08T04:12:56Z"
                         << "2026-12-08T04:12:56.000Z";
    QTest::newRow("milliseconds") << "2026-12-08T04:12:56.123Z"
                                  << "2026-12-08T04:12:56.123Z";
    QTest::newRow("an offset") << "2026-12-08T05:12:56+01:00"
                               << "2026-12-08T04:12:56.000Z";
    QTest::newRow("no offset: UTC") << "2026-12-08T04:12"
                                    << "2026-12-08T04:12:00.000Z";
    QTest::newRow("as the history shows it") << "2026-12-08 04:12:56"
                                             << "2026-12-08T04:12:56.000Z";
    QTest::newRow("no such day") << "2026-02-30"
                                 << "";
    QTest::newRow("no such hour") << "2026-12-08T25:00"
                                  << "";
    QTest::newRow("one digit") << "2026-12-8"
                               << "";
    QTest::newRow("words") << "yesterday"
                           << "";
    QTest::newRow("nothing") << ""
                             << "";
}

void TestHistoryText::since()
{
    QFETCH(QString, text);
    QFETCH(QString, utc);

    const std::optional<QDateTime> since = parseSince(text);
    if (utc.isEmpty()) {
        QVERIFY2(!since, qPrintable(since ? since->toString(Qt::ISODateWithMs) : QString()));
        return;
    }
    QVERIFY(since);
    QCOMPARE(since->timeSpec(), Qt::UTC);
    QCOMPARE(since->toString(Qt::ISODateWithMs), utc);
}

// The list's own JSON writer, against Qt's, where the two could part.
void TestHistoryText::jsonLinesAsQtWritesThem()
{
    for (const double seconds : {0.0, 2.0, 0.1, 1.979, 1e21, 1e-7, 123456789.125, -0.0,
                                 std::numeric_limits<double>::infinity()}) {
        JobRecord record = sampleRecord();
        record.seconds = seconds;
        QCOMPARE(jsonLineOf(record), asQtWritesIt(record));
    }
    JobRecord record = sampleRecord();
    record.tags = {{"operator", "Ana \"Ñ\" Ωmega"}, {"lot", "7\\8\t"}};
    record.file = QString::fromUtf16(u"/fw/\u03A9\U0001F600\u200F.hex");
    record.error = QStringLiteral("bad \x7F\x01 line");
    record.started = QDateTime(QDate(10000, 1, 1), QTime(0, 0), Qt::UTC);
    QCOMPARE(jsonLineOf(record), asQtWritesIt(record));
}

QTEST_GUILESS_MAIN(TestHistoryText)
#include "tst_historytext.moc"
