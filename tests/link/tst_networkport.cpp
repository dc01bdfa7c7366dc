#include "link/linesequence.h"
#include "link/networkport.h"
#include "shared/runtimeerror.h"
#include "support/hungserver.h"
#include "support/telnetbytes.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QThread>

#include <future>
#include <thread>

Q_DECLARE_METATYPE(NetworkAddress::Protocol)
Q_DECLARE_METATYPE(LineOptions)

// The port against a serial device server of the test's own on loopback.
class TestNetworkPort : public QObject {
    Q_OBJECT
private slots:
    void cutRepliesArriveWhole_data();
    void cutRepliesArriveWhole();
    void modemLinesAsComPortCommands();
    void serverGoneIsALostPort_data();
    void serverGoneIsALostPort();
    void openFailuresSayWhy_data();
    void openFailuresSayWhy();
    void closeGivesUpAConnect();
};

namespace {

// What a server that takes the COM port option says: yes, and each setting as asked.
const QByteArray AgreedLine = bytes({255, 253, 44, 255, 253, 0, 255, 251, 0}) + lineConfirmed();
constexpr int TelnetOfferSize = 15;

// In a thread of its own, as the port's open waits for the answers. It takes
// one connection, answers the Telnet offer when told to, sends the replies
// as separate TCP segments, then reads until the port closes (or closes
// first, when told to).
class ServerThread {
public:
    struct Script {
        QByteArray telnetAnswer; // none: a raw server
        QList<QByteArray> replies;
        bool goAway = false;
    };

    explicit ServerThread(Script script) : m_script(std::move(script))
    {
        std::promise<quint16> port;
        m_port = port.get_future();
        m_thread = std::thread([this, port = std::move(port)]() mutable { serve(port); });
    }
    ~ServerThread()
    {
        if (m_thread.joinable())
            m_thread.join();
    }
    quint16 port() { return m_port.get(); }
    QByteArray received() // once the port has closed
    {
        m_thread.join();
        return m_received;
    }

private:
    void serve(std::promise<quint16> &port)
    {
        QTcpServer server;
        server.listen(QHostAddress::LocalHost);
        port.set_value(server.serverPort());
        if (!server.waitForNewConnection(5000))
            return;
        QTcpSocket *client = server.nextPendingConnection();
        if (!m_script.telnetAnswer.isEmpty()) {
            while (m_received.size() < TelnetOfferSize && client->waitForReadyRead(5000))
                m_received += client->readAll();
            client->write(m_script.telnetAnswer);
        }
        for (const QByteArray &reply : m_script.replies) {
            client->write(reply);
            client->waitForBytesWritten(1000);
            QThread::msleep(20); // the next piece in a segment of its own
        }
        if (m_script.goAway) {
            client->close();
            return;
        }
        while (client->state() == QAbstractSocket::ConnectedState && client->waitForReadyRead(5000))
            m_received += client->readAll();
        m_received += client->readAll();
    }

    Script m_script;
    std::future<quint16> m_port;
    std::thread m_thread;
    QByteArray m_received;
};

PortTarget local(NetworkAddress::Protocol protocol, quint16 port)
{
    return PortTarget{
        PortTarget::Kind::Network, 0, {}, {protocol, QStringLiteral("127.0.0.1"), port}};
}

// The open, to its end: empty when the port opened, else why not.
QString openFully(NetworkPort &port)
{
    try {
        port.setOpen(true);
    } catch (const RuntimeError &error) {
        return error.description();
    }
    (void)QTest::qWaitFor([&] { return !port.isOpening(); }, 5000);
    return port.isOpen() ? QString() : port.openFailure();
}

QByteArray readFor(NetworkPort &port, qsizetype size)
{
    QByteArray got;
    (void)QTest::qWaitFor(
        [&] {
            got += port.readWaiting();
            return got.size() >= size;
        },
        5000);
    return got;
}

} // namespace

using Protocol = NetworkAddress::Protocol;

void TestNetworkPort::cutRepliesArriveWhole_data()
{
    QTest::addColumn<Protocol>("protocol");
    QTest::addColumn<QList<QByteArray>>("replies");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QByteArray>("sent"); // our write on the wire, after the Telnet start
    const QByteArray frame = bytes({1, 0x4F, 0x4B, 0xFF, 0x0D, 0x0A});
    QTest::newRow("raw: a frame in three pieces")
        << Protocol::RawSocket << QList<QByteArray>{frame.left(1), frame.mid(1, 3), frame.mid(4)}
        << frame << frame;
    QTest::newRow("rfc2217: 0xFF doubled, cut between its two")
        << Protocol::Rfc2217
        << QList<QByteArray>{bytes({1, 0x4F, 0x4B, 0xFF}), bytes({0xFF, 13, 10})} << frame
        << bytes({1, 0x4F, 0x4B, 0xFF, 0xFF, 0x0D, 0x0A});
    QTest::newRow("rfc2217: a modem state notice inside, cut within it")
        << Protocol::Rfc2217
        << QList<QByteArray>{bytes({1, 0x4F, 255, 250, 44}), bytes({107, 0x30, 255, 240, 0x4B}),
                             bytes({255, 255, 13, 10})}
        << frame << bytes({1, 0x4F, 0x4B, 0xFF, 0xFF, 0x0D, 0x0A});
}

void TestNetworkPort::cutRepliesArriveWhole()
{
    QFETCH(Protocol, protocol);
    QFETCH(QList<QByteArray>, replies);
    QFETCH(QByteArray, payload);
    QFETCH(QByteArray, sent);
    const bool telnet = protocol == Protocol::Rfc2217;
    ServerThread server({telnet ? AgreedLine : QByteArray(), replies});
    NetworkPort port;
    int arrivals = 0;
    port.setArrivalHandler([&] { ++arrivals; });
    port.setTarget(local(protocol, server.port()));
    QCOMPARE(openFully(port), QString());
    QCOMPARE(readFor(port, payload.size()), payload);
    QVERIFY(arrivals > 0);
    port.write(payload);
    port.setOpen(false);
    const QByteArray received = server.received();
    QVERIFY2(received.endsWith(sent), received.toHex(' '));
    if (telnet) // 115200 8N1 asked for before anything else
        QVERIFY(received.contains(comPortCommand(1, bytes({0, 1, 0xC2, 0}))));
}

void TestNetworkPort::modemLinesAsComPortCommands()
{
    ServerThread server({AgreedLine, {}});
    NetworkPort port;
    port.setTarget(local(Protocol::Rfc2217, server.port()));
    port.setLineOptions(LineOptions{true,
                                    {},
                                    {{LineStep::Action::SetDtr}, {LineStep::Action::ClearRts}},
                                    {{LineStep::Action::SetRts}, {LineStep::Action::Wait, 1}}});
    QCOMPARE(openFully(port), QString());
    port.write("BOOTi\r\n");
    port.setOpen(false); // its sequence goes on on a timer: an open now waits for it
    port.setOpen(true);
    QVERIFY(port.openingStep().startsWith("Finishing the close of rfc2217://127.0.0.1:"));
    QVERIFY(QTest::qWaitFor([&] { return !port.openingStep().startsWith("Finishing"); }, 5000));
    port.setOpen(false);
    const QByteArray expected = comPortCommand(5, bytes({1})) + comPortCommand(5, bytes({8})) +
                                comPortCommand(5, bytes({12})) + "BOOTi\r\n" +
                                comPortCommand(5, bytes({11}));
    const QByteArray received = server.received();
    QVERIFY2(received.endsWith(expected), received.toHex(' '));
}

void TestNetworkPort::serverGoneIsALostPort_data()
{
    QTest::addColumn<Protocol>("protocol");
    QTest::addColumn<bool>("watched");
    QTest::newRow("raw, watched") << Protocol::RawSocket << true;
    QTest::newRow("rfc2217, unwatched") << Protocol::Rfc2217 << false;
}

void TestNetworkPort::serverGoneIsALostPort()
{
    QFETCH(Protocol, protocol);
    QFETCH(bool, watched);
    ServerThread server(
        {protocol == Protocol::Rfc2217 ? AgreedLine : QByteArray(), {"last words"}, true});
    NetworkPort port;
    port.setArrivalWatched(watched);
    port.setTarget(local(protocol, server.port()));
    QCOMPARE(openFully(port), QString());
    QVERIFY(QTest::qWaitFor([&] { return port.isLost(); }, 5000));
    QVERIFY(!port.isOpen());
    port.write("BOOTi\r\n"); // no error of its own: the lost port says it all
    QCOMPARE(port.charactersWaiting(), 0);
}

void TestNetworkPort::openFailuresSayWhy_data()
{
    QTest::addColumn<QString>("server"); // refusing, hung, dead
    QTest::addColumn<Protocol>("protocol");
    QTest::addColumn<LineOptions>("options");
    QTest::addColumn<QString>("why");
    const LineOptions plain;
    QTest::newRow("nobody listens")
        << "refusing" << Protocol::Rfc2217 << plain
        << "Port rfc2217://127.0.0.1:PORT cannot be opened: connection refused by "
           "127.0.0.1:PORT (is ser2net running, and is the port right?)";
    QTest::newRow("the connect never completes")
        << "dead" << Protocol::RawSocket << plain
        << "Port socket://127.0.0.1:PORT cannot be opened: no answer from 127.0.0.1:PORT within "
           "0.3 s (is the server on, and is the address right?)";
    QTest::newRow("no Telnet there")
        << "hung" << Protocol::Rfc2217 << plain
        << "Port rfc2217://127.0.0.1:PORT cannot be opened: no Telnet answer from 127.0.0.1:PORT "
           "within 0.3 s (if it is a raw TCP port, give socket://127.0.0.1:PORT)";
    QTest::newRow("modem lines on a raw socket")
        << "hung" << Protocol::RawSocket << LineOptions{true, {}, {{LineStep::Action::SetDtr}}, {}}
        << "Port socket://127.0.0.1:PORT cannot be opened: a raw socket has no modem lines for "
           "the DTR/RTS sequences: use rfc2217://127.0.0.1:PORT";
    QTest::newRow("RS-485") << "hung" << Protocol::Rfc2217 << LineOptions{true, Rs485Mode{}, {}, {}}
                            << "Port rfc2217://127.0.0.1:PORT cannot be opened: RS-485 mode is set "
                               "on the device server, not from here";
}

// The port is closed again after each, never lost.
void TestNetworkPort::openFailuresSayWhy()
{
    QFETCH(QString, server);
    QFETCH(Protocol, protocol);
    QFETCH(LineOptions, options);
    QFETCH(QString, why);
    HungServer hung(server == QStringLiteral("dead") ? HungServer::Connects::Never
                                                     : HungServer::Connects::Taken);
    QVERIFY(hung.port() != 0);
    quint16 portNumber = quint16(hung.port());
    if (server == QStringLiteral("refusing")) {
        QTcpServer gone;
        QVERIFY(gone.listen(QHostAddress::LocalHost));
        portNumber = gone.serverPort();
    }
    NetworkPort port(300);
    port.setTarget(local(protocol, portNumber));
    port.setLineOptions(options);
    QCOMPARE(openFully(port), why.replace("PORT", QString::number(portNumber)));
    QVERIFY(!port.isOpen() && !port.isLost() && !port.isOpening());
}

// Closing gives a connect that hangs up at once, and nothing is told of it.
void TestNetworkPort::closeGivesUpAConnect()
{
    HungServer dead(HungServer::Connects::Never);
    NetworkPort port;
    int told = 0;
    port.setOpenProgressHandler([&] { ++told; });
    port.setTarget(local(Protocol::RawSocket, quint16(dead.port())));
    port.setOpen(true);
    QVERIFY(port.isOpening());
    QVERIFY(port.openingStep().startsWith("Connecting to socket://127.0.0.1:"));
    port.setOpen(false);
    QVERIFY(!port.isOpening() && !port.isOpen());
    QCoreApplication::processEvents();
    QCOMPARE(told, 0);
}

QTEST_GUILESS_MAIN(TestNetworkPort)
#include "tst_networkport.moc"
