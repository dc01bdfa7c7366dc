#include "cli/console.h"

#include <QFile>
#include <QRegularExpression>
#include <QTest>

#include <cstdio>

// A station's live block on a terminal of a given height: it never takes
// more rows than the terminal has, less one, and each redraw erases what the
// last one drew.
class TestConsole : public QObject {
    Q_OBJECT
private slots:
    void liveBlockFitsTheTerminal_data();
    void liveBlockFitsTheTerminal();
    void nothingIsDrawnOverAQuestion_data();
    void nothingIsDrawnOverAQuestion();
};

void TestConsole::liveBlockFitsTheTerminal_data()
{
    QTest::addColumn<int>("rows"); // 0: unknown
    QTest::addColumn<int>("ports");
    QTest::addColumn<int>("idle"); // of them, with no live line
    QTest::addColumn<int>("drawn");
    QTest::addColumn<QString>("last"); // the block's last line
    QTest::newRow("room for all") << 24 << 3 << 0 << 3 << "/dev/ttyUSB2: download";
    QTest::newRow("a row short") << 4 << 4 << 0 << 3 << "2 more ports: 1 download, 1 verify";
    QTest::newRow("idle ports make room") << 4 << 5 << 2 << 3 << "/dev/ttyUSB4: download";
    QTest::newRow("two rows: a summary only")
        << 2 << 6 << 0 << 1 << "6 ports: 3 download, 2 verify, 1 waiting for a board";
    QTest::newRow("one row: nothing") << 1 << 3 << 0 << 0 << "";
    QTest::newRow("height unknown: every port")
        << 0 << 30 << 0 << 30 << "/dev/ttyUSB29: waiting for a board";
}

void TestConsole::liveBlockFitsTheTerminal()
{
    QFETCH(int, rows);
    QFETCH(int, ports);
    QFETCH(int, idle);
    QFETCH(int, drawn);
    QFETCH(QString, last);
    std::FILE *screen = std::tmpfile();
    QVERIFY(screen);
    Console console(true, true);
    console.setScreen([rows] { return rows; }, screen);
    const QStringList states{"download", "verify",   "download",
                             "verify",   "download", "waiting for a board"};
    for (int port = 0; port < ports; ++port)
        console.addPort();
    for (int port = idle; port < ports; ++port) {
        const QString state = states[port % states.size()];
        console.show(port, QStringLiteral("/dev/ttyUSB%1: %2").arg(port).arg(state), state);
    }
    std::rewind(screen);
    QFile written;
    QVERIFY(written.open(screen, QIODevice::ReadOnly));
    const QString all = QString::fromUtf8(written.readAll());
    std::fclose(screen);

    // Each erase goes up by as many lines as the block before it had.
    const QStringList blocks = all.split(QRegularExpression("\x1b\\[\\d+A\r\x1b\\[J"));
    const QRegularExpression up("\x1b\\[(\\d+)A");
    auto erase = up.globalMatch(all);
    for (qsizetype block = 0; erase.hasNext(); ++block)
        QCOMPARE(erase.next().captured(1).toInt(), int(blocks[block].count(u'\n')));
    const QString block = blocks.last();
    QCOMPARE(int(block.count(u'\n')), drawn);
    QCOMPARE(block.split(u'\n', Qt::SkipEmptyParts).value(drawn - 1), last);
}

void TestConsole::nothingIsDrawnOverAQuestion_data()
{
    QTest::addColumn<bool>("severalPorts");
    QTest::addColumn<QString>("after"); // written once the question is answered
    QTest::newRow("one port") << false << "board 1: done\n\rverify 5/43   ";
    QTest::newRow("several ports")
        << true << "COM2 board 1: done\nCOM1: verify 5/43\n\n"; // COM2 idle
}

// While the operator is asked (on the same terminal), the lines and the live
// lines of the other ports wait; then they come, in their order.
void TestConsole::nothingIsDrawnOverAQuestion()
{
    QFETCH(bool, severalPorts);
    QFETCH(QString, after);
    std::FILE *screen = std::tmpfile();
    QVERIFY(screen);
    Console console(true, severalPorts);
    console.setScreen([] { return 24; }, screen);
    console.addPort();
    if (severalPorts)
        console.addPort();
    console.show(0, severalPorts ? "COM1: download 40/43" : "download 40/43");
    console.hold(true);
    const long asked = std::ftell(screen);
    console.show(0, severalPorts ? "COM1: verify 5/43" : "verify 5/43");
    console.write(severalPorts ? 1 : 0, screen,
                  severalPorts ? "COM2 board 1: done" : "board 1: done");
    QCOMPARE(std::ftell(screen), asked);
    console.hold(false);
    std::fseek(screen, asked, SEEK_SET);
    QFile written;
    QVERIFY(written.open(screen, QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(written.readAll()), after);
    std::fclose(screen);
}

QTEST_GUILESS_MAIN(TestConsole)
#include "tst_console.moc"
