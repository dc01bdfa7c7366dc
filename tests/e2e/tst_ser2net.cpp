#include "e2e/clirun.h"
#include "e2e/ser2netserver.h"
#include "e2e/simulatedboard.h"
#include "support/testpaths.h"

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
    void serverGoneMidJobIsALostPort();
    void nobodyListeningFailsNamingTheAddress();

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QString device() const { return QFile::symLinkTarget(path("config/bootline/ports/COM3")); }
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
    QTest::addColumn<bool>("telnet");
    QTest::addColumn<QString>("pace");
    QTest::addColumn<bool>("plain");
    QTest::newRow("socket, poll pace, RTU") << false << "poll" << false;
    QTest::newRow("socket, reply pace, plain") << false << "reply" << true;
    QTest::newRow("rfc2217, poll pace, plain") << true << "poll" << true;
    QTest::newRow("rfc2217, reply pace, RTU") << true << "reply" << false;
}

void TestSer2Net::wholeFirmwareThroughTheServer()
{
    QFETCH(bool, telnet);
    QFETCH(QString, pace);
    QFETCH(bool, plain);
    const QByteArray expected = sentOnThePty(plain);
    QVERIFY(expected.size() > 1204 * 2 * 20);
    const QString record = path("network.bytes");
    QFile::remove(record);
    SimulatedBoard sim(boardFraming(plain) + QStringList{"--quiet", "--record", record});
    QVERIFY(sim.isReady());
    Ser2NetServer server(device(), m_dir.path());
    QVERIFY2(server.isReady(), qPrintable(server.output()));
    const QString port = telnet ? server.rfc2217Url() : server.socketUrl();
    const Cli cli(cliFraming(plain) + QStringList{"-p", port, "--pace", pace, firmware}, 120000);
    QVERIFY2(cli.exitCode == 0, qPrintable(cli.all()));
    QVERIFY(cli.out.contains("board 1: done (2408 lines sent"));
    server.stop();
    QVERIFY(sim.stop());
    QVERIFY2(sim.output().contains("lines received 1204, lines verified 1204, mismatches 0"),
             qPrintable(sim.output()));
    QCOMPARE(contentOf(record), expected);
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
    QCOMPARE(cli.exitCode(), 3);
    QVERIFY2(output.contains(server.rfc2217Url() + " was lost: the server closed the connection"),
             qPrintable(output));
}

void TestSer2Net::nobodyListeningFailsNamingTheAddress()
{
    const quint16 port = freeLoopbackPort();
    const Cli cli({"-a", "1", "-p", QStringLiteral("socket://127.0.0.1:%1").arg(port), firmware});
    QCOMPARE(cli.exitCode, 3);
    QVERIFY2(cli.err.contains(QStringLiteral("connection refused by 127.0.0.1:%1").arg(port)),
             qPrintable(cli.all()));
}

QTEST_GUILESS_MAIN(TestSer2Net)
#include "tst_ser2net.moc"
