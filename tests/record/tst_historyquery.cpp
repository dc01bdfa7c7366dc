#include "record/historyquery.h"

#include <QTest>

Q_DECLARE_METATYPE(HistoryFilter)

// The statements a history and a summary read with, for each kind of store
// and schema: no database needed.
class TestHistoryQuery : public QObject {
    Q_OBJECT
private slots:
    void statements_data();
    void statements();
};

void TestHistoryQuery::statements_data()
{
    QTest::addColumn<bool>("sqlite");
    QTest::addColumn<int>("version");
    QTest::addColumn<HistoryFilter>("filter");
    QTest::addColumn<QString>("summaryBy"); // "-": the list, not the summary
    QTest::addColumn<QStringList>("contained");
    QTest::addColumn<QVariantList>("values");

    const QString ended = "((r.result <> 'started' AND r.record_id NOT LIKE '%/planned')";
    QTest::newRow("everything, newest first")
        << true << 4 << HistoryFilter{} << "-"
        << QStringList{"FROM bootline_jobs AS r WHERE " + ended,
                       " ORDER BY r.started DESC NULLS LAST, r.id DESC"}
        << QVariantList{};
    HistoryFilter narrow;
    narrow.port = "COM3";
    narrow.board = "5";
    narrow.sha256Prefix = "AB12";
    narrow.failedOnly = true;
    narrow.limit = 20;
    QTest::newRow("narrow, and limited by the database")
        << true << 4 << narrow << "-"
        << QStringList{"r.port = ? AND r.board = ? AND substr(r.sha256, 1, 4) = ? AND "
                       "r.result <> ?",
                       "r.id DESC LIMIT 20"}
        << QVariantList{"COM3", "5", "ab12", "done"};
    HistoryFilter run;
    run.runId = "R";
    QTest::newRow("a run in a store from before runs")
        << false << 1 << run << "-"
        << QStringList{"'' = ?", "NOT EXISTS (SELECT 1 FROM bootline_jobs AS ended"}
        << QVariantList{"R"};
    QTest::newRow("the first table")
        << true << 0 << HistoryFilter{} << "-"
        << QStringList{"'row-' || r.id", "FROM jobs AS r ORDER BY"} << QVariantList{};
    HistoryFilter tagged;
    tagged.tags = {{"serial", "SN-1"}};
    QTest::newRow("summed by a tag: its key first")
        << true << 4 << tagged << "tag.operator"
        << QStringList{"COALESCE(json_extract(r.tags, ?), '(none)') AS grp",
                       "(95 * how_many + 99) / 100"}
        << QVariantList{"$.\"operator\"", "$.\"serial\"", "SN-1"};
}

void TestHistoryQuery::statements()
{
    QFETCH(bool, sqlite);
    QFETCH(int, version);
    QFETCH(HistoryFilter, filter);
    QFETCH(QString, summaryBy);
    QFETCH(QStringList, contained);
    QFETCH(QVariantList, values);
    const SqlDialect &dialect =
        sqlDialect(sqlite ? StoreAddress::Kind::Sqlite : StoreAddress::Kind::Postgres);
    const BoundStatement statement = summaryBy == "-"
                                         ? historyQuery(filter, dialect, version)
                                         : summaryQuery(filter, summaryBy, dialect, version);
    for (const QString &part : contained)
        QVERIFY2(statement.sql.contains(part), qPrintable(statement.sql));
    QCOMPARE(statement.values, values);
}

QTEST_APPLESS_MAIN(TestHistoryQuery)
#include "tst_historyquery.moc"
