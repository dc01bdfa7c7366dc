#include "station/tileboard.h"

#include <QTest>

// The tiles as the station's events leave them, each row a fixture's events
// in order: "appeared", "waiting", "leave", "gone", "unreachable", "start",
// "download N", "verify N", "done", "failed", "untried", "again" (a rerun's
// board: attempt 2).
class TestTileBoard : public QObject {
    Q_OBJECT
private slots:
    void eventsMakeTheTile_data();
    void eventsMakeTheTile();
    void aPortSeenBeforeKeepsItsTile();
};

namespace {

void tell(Report &report, const QString &event, int *attempt)
{
    const QStringList words = event.split(u' ');
    const QString &what = words.first();
    BoardResult result;
    result.jobId = QStringLiteral("job");
    result.attempt = *attempt;
    if (what == "appeared")
        report.watching(Watch::Appeared);
    else if (what == "waiting")
        report.watching(Watch::AwaitingBoard);
    else if (what == "leave")
        report.watching(Watch::AwaitingLeave);
    else if (what == "gone")
        report.watching(Watch::Gone);
    else if (what == "unreachable")
        report.watching(Watch::Unreachable);
    else if (what == "start")
        report.boardStarted(QStringLiteral("1"));
    else if (what == "download" || what == "verify")
        report.progress(what == "verify" ? Pass::Verify : Pass::Download, words[1].toInt(), 10);
    else if (what == "again")
        *attempt = 2;
    else {
        result.exitCode = what == "done" ? Done : NoReply;
        result.failure = what == "failed" ? QStringLiteral("No reply: check the cable.") : "";
        result.untried = what == "untried";
        report.jobEnded(result);
    }
}

} // namespace

void TestTileBoard::eventsMakeTheTile_data()
{
    QTest::addColumn<QString>("events");
    QTest::addColumn<QString>("word");
    QTest::addColumn<bool>("takeOff");
    QTest::addColumn<bool>("present");
    QTest::addColumn<QList<int>>("counts"); // boards, done, failed, at work
    QTest::addColumn<double>("yield");

    QTest::newRow("a port appears") << "appeared"
                                    << "SETTLING" << false << true << QList<int>{0, 0, 0, 0} << 0.0;
    QTest::newRow("waiting for a board")
        << "appeared;waiting"
        << "WAITING" << false << true << QList<int>{0, 0, 0, 0} << 0.0;
    QTest::newRow("a board found") << "waiting;start"
                                   << "PROBING" << false << true << QList<int>{1, 0, 0, 1} << 0.0;
    QTest::newRow("verifying") << "start;download 10;verify 4"
                               << "VERIFYING" << false << true << QList<int>{1, 0, 0, 1} << 0.0;
    QTest::newRow("passed: take it off")
        << "start;download 10;done;leave"
        << "PASS" << true << true << QList<int>{1, 1, 0, 0} << 100.0;
    QTest::newRow("the result stays until the next board")
        << "start;failed;leave;waiting"
        << "FAIL" << false << true << QList<int>{1, 0, 1, 0} << 0.0;
    QTest::newRow("two boards, one failed")
        << "start;done;leave;waiting;start;failed"
        << "FAIL" << false << true << QList<int>{2, 1, 1, 0} << 50.0;
    QTest::newRow("a rerun's board counts but not for the first pass")
        << "start;failed;again;start;done"
        << "PASS" << false << true << QList<int>{2, 1, 1, 0} << 0.0;
    QTest::newRow("a board never begun is none")
        << "waiting;untried"
        << "WAITING" << false << true << QList<int>{0, 0, 0, 0} << 0.0;
    QTest::newRow("a dead server")
        << "unreachable"
        << "UNREACHABLE" << false << true << QList<int>{0, 0, 0, 0} << 0.0;
    QTest::newRow("the adapter pulled")
        << "start;done;leave;gone"
        << "PASS" << false << false << QList<int>{1, 1, 0, 0} << 100.0;
}

void TestTileBoard::eventsMakeTheTile()
{
    QFETCH(QString, events);
    QFETCH(QString, word);
    QFETCH(bool, takeOff);
    QFETCH(bool, present);
    QFETCH(QList<int>, counts);
    QFETCH(double, yield);
    TileBoard board([](const QString &port) { return "adapter of " + port; });
    Report &report = board.addPort(QStringLiteral("COM3"));
    int attempt = 1;
    for (const QString &event : events.split(u';'))
        tell(report, event, &attempt);
    const FixtureTile &tile = board.tile(0);
    QCOMPARE(stateWord(tile.state), word);
    QCOMPARE(tile.takeBoardOff, takeOff);
    QCOMPARE(tile.present, present);
    QCOMPARE(tile.adapter, "adapter of COM3");
    QCOMPARE((QList<int>{tile.boards, tile.done, tile.failed, board.boardsAtWork()}), counts);
    QCOMPARE(board.tally().boards, tile.boards);
    QCOMPARE(board.tally().firstPassYield(), yield);
    if (word == "FAIL")
        QCOMPARE(tile.last.failure, "No reply: check the cable.");
}

// Started again, the station adds its ports anew: their tiles and counts stay.
void TestTileBoard::aPortSeenBeforeKeepsItsTile()
{
    TileBoard board;
    int attempt = 1;
    tell(board.addPort(QStringLiteral("COM3")), QStringLiteral("start"), &attempt);
    board.addPort(QStringLiteral("COM4"));
    tell(board.addPort(QStringLiteral("COM3")), QStringLiteral("done"), &attempt);
    QCOMPARE(board.tileCount(), 2);
    QCOMPARE(board.tile(0).done, 1);
    board.startCounting(QDateTime::fromSecsSinceEpoch(0, Qt::UTC));
    QCOMPARE(board.tally().boardsPerHour(QDateTime::fromSecsSinceEpoch(1800, Qt::UTC)), 2.0);
}

QTEST_GUILESS_MAIN(TestTileBoard)
#include "tst_tileboard.moc"
