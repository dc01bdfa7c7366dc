#include "figures.h"
#include "firmware.h"
#include "image/hexfile.h"

#include <QBuffer>
#include <QSet>
#include <QTest>

// The bench's own arithmetic: the files it times, the floors it holds them
// to and the verdicts it gives. A wrong floor would make every ratio lie.
class TestBenchFirmware : public QObject {
    Q_OBJECT
private slots:
    void filesHaveTheLinesAskedForAllDifferent_data();
    void filesHaveTheLinesAskedForAllDifferent();
    void wireFloorCountsEveryByteBothWays();
    void targetsAreMetAtTheirLimit_data();
    void targetsAreMetAtTheirLimit();
    void replyPaceIsHeldToTheWireFloorOnlyOnTheWire();
    void twoPortsAreHeldToOne_data();
    void twoPortsAreHeldToOne();
};

void TestBenchFirmware::filesHaveTheLinesAskedForAllDifferent_data()
{
    QTest::addColumn<int>("lines");
    QTest::newRow("two") << 2;
    QTest::newRow("100") << 100;
    QTest::newRow("past 64 KiB") << 9000;
}

void TestBenchFirmware::filesHaveTheLinesAskedForAllDifferent()
{
    QFETCH(int, lines);
    const QList<QByteArray> records = benchFirmware(lines);
    QCOMPARE(records.size(), lines);
    QCOMPARE(records.last(), QByteArray(":00000001FF"));
    // The simulator takes a line equal to the first as a fresh pass.
    QCOMPARE(QSet<QByteArray>(records.begin(), records.end()).size(), lines);
    QByteArray file;
    for (const QByteArray &record : records)
        file += record + "\r\n";
    QBuffer buffer(&file);
    buffer.open(QIODevice::ReadOnly);
    QCOMPARE(HexFile::read(buffer, "bench.hex"), records); // the loader takes it as it is
    if (lines > 4096)
        QVERIFY(records.contains(":020000040001F9")); // the second 64 KiB is addressed
}

void TestBenchFirmware::wireFloorCountsEveryByteBothWays()
{
    // A 16-byte record goes out in 52 bytes and "OK" comes back in 6; the
    // end-of-file record in 20. Both passes, 10 bits a byte, 115200 bits a second.
    const QList<QByteArray> records = benchFirmware(2);
    QCOMPARE(wireFloorSeconds(records), 2 * (52 + 6 + 20 + 6) * 10 / 115200.0);
}

void TestBenchFirmware::targetsAreMetAtTheirLimit_data()
{
    QTest::addColumn<double>("measured");
    QTest::addColumn<bool>("higherIsBetter");
    QTest::addColumn<bool>("met");
    QTest::newRow("under") << 0.4 << false << true;
    QTest::newRow("at") << 0.5 << false << true;
    QTest::newRow("over") << 0.6 << false << false;
    QTest::newRow("over, and more is better") << 0.6 << true << true;
}

void TestBenchFirmware::targetsAreMetAtTheirLimit()
{
    QFETCH(double, measured);
    QFETCH(bool, higherIsBetter);
    QFETCH(bool, met);
    const Target target{"idle CPU", measured, 0.5, "%", higherIsBetter};
    QCOMPARE(target.met(), met);
    QCOMPARE(target.ratio(), measured / 0.5);
}

void TestBenchFirmware::replyPaceIsHeldToTheWireFloorOnlyOnTheWire()
{
    Figures figures;
    figures.jobs << TimedJob{"cli", "reply", true, 100, 200, 1.2, 0.1, 20, 1.0}
                 << TimedJob{"cli", "reply", false, 100, 200, 0.2, 0.1, 20, 0}
                 << TimedJob{"cli", "poll", false, 100, 200, 4.1, 0.1, 20, 4.0}
                 << TimedJob{"cli", "poll", true, 100, 200, 4.1, 0.05, 20, 4.0}
                 << TimedJob{"bare loop", "poll", false, 100, 200, 4.2, 0.08, 20, 4.0}
                 << TimedJob{"bare loop", "poll", true, 100, 200, 4.2, 0.04, 20, 4.0};
    QStringList verdicts;
    for (const Target &target : targetsOf(figures)) {
        if (target.what.startsWith("cli") && !target.what.contains("ports"))
            verdicts << QStringLiteral("%1: %2").arg(target.what, target.met() ? "met" : "missed");
    }
    QCOMPARE(verdicts, (QStringList{
                           "cli, poll pace, 100 lines: ms a frame, against the bare loop's: met",
                           "cli, reply pace on the wire: worst × wire floor: missed", // 1.2
                           "cli, reply pace, board at once: worst ms a frame: met",   // 1 ms
                           // 0.5 s a 1000 frames against the bare loop's 0.4, on the
                           // same file and board; on the wire 0.25 against 0.2: each
                           // against the bare loop on its own board.
                           "cli, poll pace, board at once, 100 lines: CPU s per 1000 frames, "
                           "against the bare loop's: missed",
                           "cli, poll pace, board 115200, 100 lines: CPU s per 1000 frames, "
                           "against the bare loop's: missed",
                           "cli, reply pace, 100 lines: CPU s per 1000 frames: met",
                           "cli, peak RSS of a 100-line job: met",
                       }));
}

void TestBenchFirmware::twoPortsAreHeldToOne_data()
{
    QTest::addColumn<QList<PortsTiming>>("runs");
    QTest::addColumn<double>("measured");
    QTest::newRow("as fast") << QList<PortsTiming>{{1, 1, 500, 5.0}, {2, 1, 500, 5.1}} << 1.02;
    QTest::newRow("each board of a bus is not a port")
        << QList<PortsTiming>{{1, 4, 500, 20.0}, {1, 1, 500, 5.0}, {2, 1, 500, 7.0}} << 1.4;
    QTest::newRow("not measured: missed") << QList<PortsTiming>{{1, 1, 500, 5.0}} << 2.0;
}

void TestBenchFirmware::twoPortsAreHeldToOne()
{
    QFETCH(QList<PortsTiming>, runs);
    QFETCH(double, measured);
    Figures figures;
    figures.portRuns = runs;
    for (const Target &target : targetsOf(figures)) {
        if (!target.what.contains("two ports"))
            continue;
        QCOMPARE(target.measured, measured);
        QCOMPARE(target.met(), measured <= 1.2);
        return;
    }
    QFAIL("no target for two ports");
}

QTEST_GUILESS_MAIN(TestBenchFirmware)
#include "tst_benchfirmware.moc"
