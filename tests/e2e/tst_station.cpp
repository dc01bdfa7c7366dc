#include "e2e/examplefiles.h"
#include "e2e/simulatedboard.h"
#include "e2e/stationprocess.h"
#include "support/hexrecords.h"
#include "support/hungserver.h"
#include "support/testpaths.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSerialPort>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <functional>
#include <unistd.h>

// bootline-cli --watch against simulators that come and go, and boards
// swapped on a port that stays.
class TestStation : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void flashesEachBoardOnceAsItComes();
    void slowBoardStaysFlashedOnce_data();
    void slowBoardStaysFlashedOnce();
    void aReaderOnThePortIsNoNewsOfTheBoard();
    void saysWhatItWatchesAndThatNoneIsThere();
    void aDeadServerHoldsUpNoOtherFixture();

private:
    QString smallFile(); // three lines: quick to flash on a slow board
    QTemporaryDir m_dir;
};

void TestStation::initTestCase()
{
    QVERIFY(m_dir.isValid());
    qputenv("XDG_CONFIG_HOME", m_dir.filePath("config").toLocal8Bit());
    qputenv("XDG_DATA_HOME", m_dir.filePath("data").toLocal8Bit());
}

namespace {

// Waits till the board has taken so many more commands: the station's
// checks whether it is still there, each one after the other.
bool askedAgain(SimulatedBoard &board, int times)
{
    const qsizetype before = board.output().count("<< ");
    return QTest::qWaitFor([&] { return board.output().count("<< ") >= before + times; }, 20000);
}

} // namespace

void TestStation::flashesEachBoardOnceAsItComes()
{
    SimulatedBoard fixed({}, 3);
    QVERIFY(fixed.isReady());
    // A short reply timeout: a board that left is known to be gone within 1.5 s.
    StationProcess station({"-p", "COM3," + m_dir.filePath("config/bootline/ports/COM1*"), "-a",
                            "1", "--settle", "100", "--pace", "reply", "--reply-timeout", "500",
                            exampleFile("blink.hex")});
    QVERIFY(station.waitFor(1, "board", "COM3"));
    // The board stays: it is asked whether it is still there, and left alone,
    // also while another program holds the port for a while.
    QVERIFY(station.waitFor(1, "watch", "COM3", "awaiting leave"));
    {
        QSerialPort other(QFile::symLinkTarget(m_dir.filePath("config/bootline/ports/COM3")));
        QVERIFY(QTest::qWaitFor([&] { return other.open(QIODevice::ReadWrite); }, 5000));
        QTest::qWait(1000); // the checks meanwhile cannot open the port
    }
    QVERIFY(askedAgain(fixed, 2));
    QCOMPARE(station.count("board", "COM3"), 1);
    QCOMPARE(station.count("watch", "COM3", "gone"), 0);

    // Swapped for the next one, on the port that stays.
    QVERIFY(fixed.swapBoards());
    QVERIFY(station.waitFor(2, "watch", "COM3", "awaiting board")); // the first was at the start
    QVERIFY(fixed.swapBoards());
    QVERIFY(station.waitFor(2, "board", "COM3"));

    // An adapter comes, is flashed, and goes.
    const QString adapter = m_dir.filePath("config/bootline/ports/COM12");
    {
        SimulatedBoard plugged({"--quiet"}, 12);
        QVERIFY(plugged.isReady());
        QVERIFY(station.waitFor(1, "board", adapter));
    }
    QVERIFY(station.waitFor(1, "watch", adapter, "gone"));
    SimulatedBoard again({"--quiet"}, 12);
    QVERIFY(again.isReady());
    QVERIFY(station.waitFor(2, "board", adapter));

    ::kill(pid_t(station.process.processId()), SIGINT);
    QVERIFY(station.process.waitForFinished(5000));
    QCOMPARE(station.process.exitCode(), 0);
    station.read();
    const QJsonObject done = station.events.last();
    QCOMPARE(done["event"].toString(), QStringLiteral("done"));
    QCOMPARE(done["boards"].toInt(), 4);
    for (const QJsonObject &event : std::as_const(station.events)) {
        if (event["event"] == "board")
            QCOMPARE(event["result"].toString(), QStringLiteral("done"));
    }
    QVERIFY(fixed.stop() && again.stop());
    QCOMPARE(fixed.output().count("image verified"), 2);
}

QString TestStation::smallFile()
{
    const QString path = m_dir.filePath("small.hex");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(hexFileRecords(3).join('\n') + '\n') <= 0)
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

// A board that answers late, within the reply timeout, is still there: it is
// found, flashed, and never flashed again while it stays.
void TestStation::slowBoardStaysFlashedOnce_data()
{
    QTest::addColumn<int>("latencyMs");
    QTest::addColumn<QStringList>("options");
    QTest::newRow("at once") << 0 << QStringList{};
    QTest::newRow("300 ms") << 300 << QStringList{};
    QTest::newRow("700 ms") << 700 << QStringList{};
    QTest::newRow("700 ms, with resends") << 700 << QStringList{"--retries", "1"};
}

void TestStation::slowBoardStaysFlashedOnce()
{
    QFETCH(int, latencyMs);
    QFETCH(QStringList, options);
    SimulatedBoard board({"--latency", QString::number(latencyMs)}, 20);
    QVERIFY(board.isReady());
    // The job's own probe asks each 200 ms until the board answers, and a slow
    // board answers each in turn before the first line: 4000 ms leaves it room.
    StationProcess station(QStringList{"-p", "COM20", "-a", "1", "--settle", "100",
                                       "--reply-timeout", "4000", "--pace", "reply", smallFile()} +
                           options);
    QVERIFY(station.waitFor(1, "board", "COM20", {}, 30000));
    QVERIFY(station.waitFor(1, "watch", "COM20", "awaiting leave"));
    QVERIFY(askedAgain(board, 4)); // each of them answered late
    const QJsonObject done = station.interrupted();
    QCOMPARE(done["event"].toString(), QStringLiteral("done"));
    QCOMPARE(done["boards"].toInt(), 1);
    QCOMPARE(done["failed"].toArray().size(), 0);
    QCOMPARE(station.count("watch", "COM20", "awaiting board"), 1);
}

// Another program with the port open (a terminal left running) may read the
// board's answers: the station does not take the board for gone meanwhile,
// nor flash it again once the port is let go.
void TestStation::aReaderOnThePortIsNoNewsOfTheBoard()
{
    SimulatedBoard board({}, 21);
    QVERIFY(board.isReady());
    StationProcess station(
        {"-p", "COM21", "-a", "1", "--settle", "100", "--reply-timeout", "300", smallFile()});
    QVERIFY(station.waitFor(1, "board", "COM21"));
    QVERIFY(station.waitFor(1, "watch", "COM21", "awaiting leave"));
    {
        // This test is that program: it reads the port, without a lock.
        const QByteArray device =
            QFile::encodeName(QFile::symLinkTarget(m_dir.filePath("config/bootline/ports/COM21")));
        const int reader = ::open(device.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        QVERIFY(reader >= 0);
        QSocketNotifier arrivals(reader, QSocketNotifier::Read);
        connect(&arrivals, &QSocketNotifier::activated, [reader] {
            char bytes[256];
            while (::read(reader, bytes, sizeof bytes) > 0) {
            }
        });
        QTest::qWait(3000); // ten reply timeouts, while nothing is asked
        ::close(reader);
    }
    QVERIFY(askedAgain(board, 3));
    QCOMPARE(station.count("watch", "COM21", "awaiting board"), 1);
    const QJsonObject done = station.interrupted();
    QCOMPARE(done["boards"].toInt(), 1);
}

// At the start, what it watches; while no port matches, that it waits, said
// once and not at each look.
void TestStation::saysWhatItWatchesAndThatNoneIsThere()
{
    const QString pattern = m_dir.filePath("by-id/usb-*");
    const QString ports = "COM29," + pattern;
    StationProcess station({"-p", ports, "-a", "2", smallFile()});
    QVERIFY(station.waitFor(1, "watch", ports, "no port"));
    QTest::qWait(1000); // four looks
    QCOMPARE(station.count("watch", ports, "watching"), 1);
    QCOMPARE(station.count("watch", ports, "no port"), 1);
    const QJsonObject first = station.events.first();
    QCOMPARE(first["state"].toString(), QStringLiteral("watching"));
    QCOMPARE(first["ports"].toArray(), (QJsonArray{"COM29", pattern}));
    QCOMPARE(station.interrupted()["boards"].toInt(), 0);
}

// A device server switched off (its connects hang for the whole 5 s) is
// looked at on its own: the fixture beside it is flashed meanwhile.
void TestStation::aDeadServerHoldsUpNoOtherFixture()
{
    HungServer dead(HungServer::Connects::Never);
    QVERIFY(dead.port() != 0);
    SimulatedBoard board({"--quiet"}, 22);
    QVERIFY(board.isReady());
    const QString server = QStringLiteral("socket://127.0.0.1:%1").arg(dead.port());
    StationProcess station({"-p", "COM22," + server, "-a", "1", "--settle", "100",
                            "--reply-timeout", "800", smallFile()});
    QVERIFY(station.waitFor(1, "board", "COM22"));
    QCOMPARE(station.count("watch", server, "unreachable"), 0); // its first connect still hangs
    QVERIFY(station.waitFor(1, "watch", server, "unreachable"));
    const QJsonObject done = station.interrupted();
    QCOMPARE(done["boards"].toInt(), 1);
    QCOMPARE(done["failed"].toArray().size(), 0);
}

QTEST_GUILESS_MAIN(TestStation)
#include "tst_station.moc"
