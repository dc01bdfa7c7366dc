#include "e2e/clirun.h"
#include "e2e/ser2netserver.h"
#include "e2e/simulatedboard.h"
#include "e2e/stationprocess.h"
#include "shared/exitcode.h"
#include "support/testpaths.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

// bootline-cli through a real ser2net to bootline-sim's pty: the same bytes
// reach the board as on the pty itself.
class TestSer2Net : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void wholeFirmwareThroughTheServer_data();
    void wholeFirmwareThroughTheServer();
    void stationFlashesTheBoardBehindTheServerOnce();
    void stationSaysOnceThatNoServerAnswers();
    void serverGoneMidJobIsALostPort();
    void nobodyListeningFailsNamingTheAddress();

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QString device(int com = 3) const
    {
        return QFile::symLinkTarget(path(QStringLiteral("config/bootline/ports/COM%1").arg(com)));
    }
    // What the board gets on the pty itself, for one framing.
    QByteArray sentOnThePty(bool plain);
    QTemporaryDir m_dir;
    QMap<bool, QByteArray> m_sentOnThePty;
};

namespace {

const QString firmware = TestPaths::exampleFile("firmware.hex");

QByteArray contentOf(const QString &name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Plain text, or RTU frames to the simulator's default address 1.
QStringList boardFraming(bool plain)
{
    return plain ? QStringList{"--plain"} : QStringList{};
}

QStringList cliFraming(bool plain)
{
    return plain ? QStringList{"--plain"} : QStringList{"-a", "1"};
}

} // namespace

void TestSer2Net::initTestCase()
{
    if (Ser2NetServer::program().isEmpty())
        QSKIP("ser2net is not installed (Debian: apt install ser2net)");
    QVERIFY(m_dir.isValid());
    qputenv("XDG_CONFIG_HOME", path("config").toLocal8Bit());
    qputenv("XDG_DATA_HOME", path("data").toLocal8Bit());
}

QByteArray TestSer2Net::sentOnThePty(bool plain)
{
    if (!m_sentOnThePty.contains(plain)) {
        const QString record = path(plain ? "pty-plain.bytes" : "pty-rtu.bytes");
        SimulatedBoard sim(boardFraming(plain) + QStringList{"--quiet", "--record", record});
        const Cli cli(cliFraming(plain) + QStringList{"-p", "COM3", "--pace", "reply", firmware});
        if (sim.isReady() && cli.exitCode == 0 && sim.stop())
            m_sentOnThePty[plain] = contentOf(record);
    }
    return m_sentOnThePty.value(plain);
}

void TestSer2Net::wholeFirmwareThroughTheServer_data()
{
    QTest::addColumn<bool>("plain");
    // The poll's pace is tst_endtoend's: through a server, a whole file at
    // the reply's pace proves the transport in each framing.
    QTest::newRow("RTU") << false;
    QTest::newRow("plain") << true;
}

// Two boards, each behind a ser2net of its own, one reached raw and one
// through Telnet, flashed at once: the whole run takes one job's time.
void TestSer2Net::wholeFirmwareThroughTheServer()
{
    QFETCH(bool, plain);
    const QByteArray expected = sentOnThePty(plain);
    QVERIFY(expected.size() > 1204 * 2 * 20);
    const QStringList records{path("raw.bytes"), path("telnet.bytes")};
    for (const QString &record : records)
        QFile::remove(record);
    SimulatedBoard rawBoard(boardFraming(plain) + QStringList{"--quiet", "--record", records[0]},
                            3);
    SimulatedBoard telnetBoard(boardFraming(plain) + QStringList{"--quiet", "--record", records[1]},
                               4);
    QVERIFY(rawBoard.isReady() && telnetBoard.isReady());
    QVERIFY(QDir().mkpath(path("raw")) && QDir().mkpath(path("telnet")));
    Ser2NetServer rawServer(device(3), path("raw"));
    Ser2NetServer telnetServer(device(4), path("telnet"));
    QVERIFY2(rawServer.isReady(), qPrintable(rawServer.output()));
    QVERIFY2(telnetServer.isReady(), qPrintable(telnetServer.output()));
    const QString ports = rawServer.socketUrl() + u',' + telnetServer.rfc2217Url();
    const Cli cli(cliFraming(plain) + QStringList{"-p", ports, "--pace", "reply", firmware},
                  120000);
    QVERIFY2(cli.exitCode == 0, qPrintable(cli.all()));
    QCOMPARE(cli.out.count("board 1: done (2408 lines sent"), 2);
    rawServer.stop();
    telnetServer.stop();
    for (SimulatedBoard *board : {&rawBoard, &telnetBoard}) {
        QVERIFY(board->stop());
        QVERIFY2(board->output().contains("lines received 1204, lines verified 1204, mismatches 0"),
                 qPrintable(board->output()));
    }
    for (const QString &record : records)
        QCOMPARE(contentOf(record), expected);
}

// A station takes a network port as it is listed. Its looks and the job each
// connect anew, as ser2net lets one client in at a time: the board is
// flashed once, its record says how the port was reached, and it is not
// taken for gone while it stays.
void TestSer2Net::stationFlashesTheBoardBehindTheServerOnce()
{
    SimulatedBoard sim({"--quiet"});
    QVERIFY(sim.isReady());
    QVERIFY(QDir().mkpath(path("station")));
    Ser2NetServer server(device(), path("station"));
    QVERIFY(server.isReady());
    const QString port = server.rfc2217Url();
    StationProcess station({"-p", port, "-a", "1", "--settle", "100", "--pace", "reply",
                            "--reply-timeout", "1000", TestPaths::exampleFile("blink.hex")});
    QVERIFY(station.waitFor(1, "board", port, {}, 30000));
    QVERIFY(station.waitFor(1, "watch", port, "awaiting leave"));
    QTest::qWait(3000); // several looks, each of them answered
    const QJsonObject done = station.interrupted();
    QCOMPARE(done["boards"].toInt(), 1);
    QCOMPARE(station.count("watch", port, "awaiting board"), 1);
    const auto board =
        std::find_if(station.events.begin(), station.events.end(),
                     [](const QJsonObject &event) { return event["event"] == "board"; });
    QCOMPARE((*board)["result"].toString(), QStringLiteral("done"));
    QCOMPARE((*board)["port_kind"].toString(), QStringLiteral("rfc2217"));
}

// Nobody listens yet: said once, not at each look, and tried again.
void TestSer2Net::stationSaysOnceThatNoServerAnswers()
{
    const QString port = QStringLiteral("socket://127.0.0.1:%1").arg(freeLoopbackPort());
    StationProcess station({"-p", port, "--settle", "0", TestPaths::exampleFile("blink.hex")});
    QVERIFY(station.waitFor(1, "watch", port, "unreachable"));
    QTest::qWait(1000); // four looks
    QCOMPARE(station.count("watch", port, "unreachable"), 1);
    QCOMPARE(station.interrupted()["boards"].toInt(), 0);
}

// ser2net stopped while the board is being written: a lost port, as a
// pulled adapter would be, with the exit code of a port that failed.
void TestSer2Net::serverGoneMidJobIsALostPort()
{
    SimulatedBoard sim({"--quiet"});
    QVERIFY(sim.isReady());
    Ser2NetServer server(device(), m_dir.path());
    QVERIFY(server.isReady());
    QProcess cli;
    cli.setProcessChannelMode(QProcess::MergedChannels);
    cli.start(TestPaths::cli(), {"-a", "1", "-p", server.rfc2217Url(), firmware});
    QString output;
    QVERIFY(QTest::qWaitFor(
        [&] {
            output += QString::fromUtf8(cli.readAll());
            return output.contains("download ");
        },
        20000));
    server.stop();
    QVERIFY(cli.waitForFinished(10000));
    output += QString::fromUtf8(cli.readAll());
    QCOMPARE(cli.exitCode(), int(PortFailed));
    QVERIFY2(output.contains(server.rfc2217Url() + " was lost: the server closed the connection"),
             qPrintable(output));
}

void TestSer2Net::nobodyListeningFailsNamingTheAddress()
{
    const quint16 port = freeLoopbackPort();
    const Cli cli({"-a", "1", "-p", QStringLiteral("socket://127.0.0.1:%1").arg(port), firmware});
    QCOMPARE(cli.exitCode, int(PortFailed));
    QVERIFY2(cli.err.contains(QStringLiteral("connection refused by 127.0.0.1:%1").arg(port)),
             qPrintable(cli.all()));
}

QTEST_GUILESS_MAIN(TestSer2Net)
#include "tst_ser2net.moc"
