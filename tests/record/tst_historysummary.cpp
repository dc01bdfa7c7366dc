#include "summarycases.h"

#include <QJsonArray>
#include <QJsonDocument>

class TestHistorySummary : public QObject {
    Q_OBJECT
private slots:
    void groups_data();
    void groups();
    void boardsAreToldApart_data();
    void boardsAreToldApart();
    void table();
    void json();
};

void TestHistorySummary::groups_data()
{
    QTest::addColumn<QString>("by");
    QTest::addColumn<QStringList>("rows"); // group boards done failed first-pass median p95
    // Jobs tried: 1.0 1.5 2.0 2.5 3.0 4.0 s; the rerun is done, but not first pass.
    QTest::newRow("all") << "" << QStringList{"all 7 4 3 3 2 4"};
    QTest::newRow("port") << "port"
                          << QStringList{"/dev/ttyUSB0 4 2 2 1 1.5 2", "COM3 3 2 1 2 3 4"};
    QTest::newRow("day") << "day"
                         << QStringList{"- 1 0 1 0 - -", "2026-12-08 2 2 0 1 1.5 2",
                                        "2026-12-09 4 2 2 2 3 4"};
    QTest::newRow("file") << "file"
                          << QStringList{"(no file) 1 0 1 0 - -", "blink.hex 3 2 1 1 1.5 2",
                                         "other.hex 3 2 1 2 3 4"};
    QTest::newRow("tag") << "tag.operator"
                         << QStringList{"(none) 3 1 2 1 2.5 2.5", "ann 2 2 0 1 1.5 2",
                                        "bob 2 1 1 1 3 4"};
    QTest::newRow("a tag none has") << "tag.lot" << QStringList{"(none) 7 4 3 3 2 4"};
}

void TestHistorySummary::groups()
{
    QFETCH(QString, by);
    QFETCH(QStringList, rows);
    const HistorySummary summary = summaryOf(benchRecords(), by);
    QStringList seen;
    for (const SummaryRow &row : summary.groups)
        seen << describe(row);
    QCOMPARE(seen, rows);
    QCOMPARE(describe(summary.total), QStringLiteral("total 7 4 3 3 2 4"));
}

void TestHistorySummary::boardsAreToldApart_data()
{
    QTest::addColumn<QList<JobRecord>>("records");
    QTest::addColumn<QString>("counts"); // boards done failed first-pass
    const QString port = "/dev/ttyUSB0";
    QTest::newRow("a rerun joins the latest board of its run, port and address")
        << QList<JobRecord>{job("R", port, "scan", 1, "done", Day1, 1),
                            job("R", port, "scan", 1, "failed", Day1.addSecs(60), 1),
                            job("R", port, "scan", 2, "done", Day1.addSecs(120), 1)}
        << "2 2 0 1";
    QTest::newRow("done, then a rerun that failed: failed")
        << QList<JobRecord>{job("R", port, "5", 1, "done", Day1, 1),
                            job("R", port, "5", 2, "interrupted", Day1.addSecs(60), 1)}
        << "1 0 1 1";
    QTest::newRow("a rerun of another run is another board")
        << QList<JobRecord>{job("R", port, "5", 1, "failed", Day1, 1),
                            job("S", port, "5", 2, "done", Day1.addSecs(60), 1)}
        << "2 1 1 1";
    QTest::newRow("a rerun with no first job begins a board")
        << QList<JobRecord>{job("R", port, "5", 3, "done", Day1, 1)} << "1 1 0 1";
    QTest::newRow("nothing read") << QList<JobRecord>{} << "0 0 0 0";
}

void TestHistorySummary::boardsAreToldApart()
{
    QFETCH(QList<JobRecord>, records);
    QFETCH(QString, counts);
    const SummaryRow total = summaryOf(records, {}).total;
    QCOMPARE(QStringLiteral("%1 %2 %3 %4")
                 .arg(total.boards)
                 .arg(total.done)
                 .arg(total.failed)
                 .arg(total.firstPass),
             counts);
}

void TestHistorySummary::table()
{
    QCOMPARE(summaryTable(summaryOf(benchRecords(), "port")),
             QStringLiteral("GROUP         BOARDS  DONE  FAILED  FIRST-PASS  MEDIAN-S  P95-S\n"
                            "/dev/ttyUSB0       4     2       2       25.0%       1.5    2.0\n"
                            "COM3               3     2       1       66.7%       3.0    4.0\n"
                            "total              7     4       3       42.9%       2.0    4.0\n"));
    // One group: no total. A name from outside is made visible and cut short.
    QList<JobRecord> records{job("R", "/dev/serial/by-id/\x1b[31m" + QString(60, u'x'), "5", 1,
                                 "not tried", QDateTime(), 0)};
    const QStringList lines = summaryTable(summaryOf(records, "port")).split(u'\n');
    QCOMPARE(lines.size(), 3); // and the empty text after the last line's end
    QVERIFY2(lines[1].startsWith("/dev/serial/by-id/\\x1B[31mxxxxxxxxxxx...  "),
             qPrintable(lines[1]));
    QVERIFY2(lines[1].endsWith("0.0%         -      -"), qPrintable(lines[1]));
    QCOMPARE(summaryTable(summaryOf({}, "day")),
             QStringLiteral("GROUP  BOARDS  DONE  FAILED  FIRST-PASS  MEDIAN-S  P95-S\n"));
}

void TestHistorySummary::json()
{
    const QJsonObject json = summaryJson(summaryOf(benchRecords(), "day"));
    QCOMPARE(json.value("by").toString(), QStringLiteral("day"));
    const QJsonArray groups = json.value("groups").toArray();
    QCOMPARE(groups.size(), 3);
    QCOMPARE(QJsonDocument(groups.at(0).toObject()).toJson(QJsonDocument::Compact),
             QByteArray(R"({"boards":1,"done":0,"failed":1,"first_pass":0,"first_pass_yield":0,)"
                        R"("group":"-","median_seconds":null,"p95_seconds":null})"));
    const QJsonObject total = json.value("total").toObject();
    QCOMPARE(total.value("first_pass_yield").toDouble(), 3.0 / 7);
    QCOMPARE(total.value("median_seconds").toDouble(), 2.0);
    QCOMPARE(total.value("p95_seconds").toDouble(), 4.0);
    // Without --by, and over nothing at all.
    const QJsonObject empty = summaryJson(summaryOf({}, {}));
    QVERIFY(empty.value("by").isNull());
    QCOMPARE(empty.value("groups").toArray().at(0).toObject().value("group").toString(),
             QStringLiteral("all"));
    QVERIFY(empty.value("total").toObject().value("first_pass_yield").isNull());
}

QTEST_GUILESS_MAIN(TestHistorySummary)
#include "tst_historysummary.moc"
