#include "link/telnetcomport.h"
#include "support/telnetbytes.h"

#include <QTest>

// Bytes in, bytes out, as a serial device server sends and takes them.
class TestTelnetComPort : public QObject {
    Q_OBJECT
private slots:
    void serverAnswersToTheOffer_data();
    void serverAnswersToTheOffer();
    void payloadAtAnyCut_data();
    void payloadAtAnyCut();
};

namespace {

const QByteArray DoComPort = bytes({255, 253, 44});
const QByteArray LineSettings = bytes(
    {255, 250, 44, 1,   0,   1,   0xC2, 0,  255, 240, 255, 250, 44,  2,   8,  255, 240, 255, 250,
     44,  3,   1,  255, 240, 255, 250,  44, 4,   1,   255, 240, 255, 250, 44, 5,   1,   255, 240});
const QByteArray AllConfirmed = lineConfirmed();

} // namespace

void TestTelnetComPort::serverAnswersToTheOffer_data()
{
    QTest::addColumn<QByteArray>("fromServer");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<int>("comPort");
    QTest::addColumn<bool>("confirmed");
    QTest::addColumn<QString>("refusedSetting");
    using A = TelnetComPort::ComPortAnswer;
    const QByteArray agreedBinary = bytes({255, 253, 0, 255, 251, 0});
    QTest::newRow("agrees: the line is asked for")
        << agreedBinary + DoComPort << LineSettings << int(A::Agreed) << false << "";
    QTest::newRow("says yes twice: answered once")
        << DoComPort + agreedBinary + DoComPort + agreedBinary << LineSettings << int(A::Agreed)
        << false << "";
    QTest::newRow("agrees and confirms")
        << DoComPort + AllConfirmed << LineSettings << int(A::Agreed) << true << "";
    QTest::newRow("sets another speed")
        << DoComPort + comPortCommand(101, bytes({0, 0, 0x25, 0x80})) + AllConfirmed.mid(10)
        << LineSettings << int(A::Agreed) << true << "9600 baud";
    QTest::newRow("refuses: a fixed line")
        << bytes({255, 254, 44}) << QByteArray() << int(A::Refused) << false << "";
    // What we do not want is refused, whichever way it is asked.
    QTest::newRow("asks us to echo")
        << bytes({255, 253, 1}) << bytes({255, 252, 1}) << int(A::Awaited) << false << "";
    QTest::newRow("offers to echo, and a terminal type")
        << bytes({255, 251, 1, 255, 253, 24}) << bytes({255, 254, 1, 255, 252, 24})
        << int(A::Awaited) << false << "";
}

void TestTelnetComPort::serverAnswersToTheOffer()
{
    QFETCH(QByteArray, fromServer);
    QFETCH(QByteArray, answer);
    QFETCH(int, comPort);
    QFETCH(bool, confirmed);
    QFETCH(QString, refusedSetting);
    TelnetComPort telnet;
    telnet.start(); // binary and no go-ahead both ways, the COM port option offered
    QCOMPARE(telnet.takeToSend(),
             bytes({255, 251, 0, 255, 253, 0, 255, 251, 3, 255, 253, 3, 255, 251, 44}));
    QCOMPARE(telnet.receive(fromServer), QByteArray());
    QCOMPARE(telnet.takeToSend(), answer);
    QCOMPARE(int(telnet.comPortAnswer()), comPort);
    QCOMPARE(telnet.lineSettingsConfirmed(), confirmed);
    QCOMPARE(telnet.lineSettingRefused(), refusedSetting);
    QVERIFY(telnet.protocolError().isEmpty());
}

void TestTelnetComPort::payloadAtAnyCut_data()
{
    QTest::addColumn<QByteArray>("fromServer");
    QTest::addColumn<QByteArray>("payload");
    QTest::newRow("text") << QByteArray("DOWNLOAD\r\n") << QByteArray("DOWNLOAD\r\n");
    QTest::newRow("CR NUL and CR LF as they are")
        << bytes({1, 13, 0, 13, 10}) << bytes({1, 13, 0, 13, 10});
    QTest::newRow("0xFF doubled") << bytes({1, 255, 255, 255, 255, 2}) << bytes({1, 255, 255, 2});
    QTest::newRow("line and modem state notices")
        << QByteArray("O") + bytes({255, 250, 44, 106, 0x60, 255, 240}) + "K" +
               bytes({255, 250, 44, 107, 0x30, 255, 240})
        << QByteArray("OK");
    QTest::newRow("the server's answers, no-ops and go-aheads")
        << bytes({65, 255, 241}) + comPortCommand(105, bytes({8})) +
               bytes({255, 249, 255, 251, 0, 66})
        << QByteArray("AB");
}

// Whole, cut once anywhere, and a byte at a time: the same payload.
void TestTelnetComPort::payloadAtAnyCut()
{
    QFETCH(QByteArray, fromServer);
    QFETCH(QByteArray, payload);
    for (qsizetype cut = 0; cut <= fromServer.size(); ++cut) {
        TelnetComPort telnet;
        QByteArray got = telnet.receive(fromServer.left(cut));
        got += telnet.receive(fromServer.mid(cut));
        QVERIFY2(got == payload, qPrintable(QStringLiteral("cut after %1 bytes: %2")
                                                .arg(cut)
                                                .arg(QString::fromLatin1(got.toHex(' ')))));
    }
    TelnetComPort byByte;
    QByteArray got;
    for (const char byte : fromServer)
        got += byByte.receive(QByteArray(1, byte));
    QCOMPARE(got, payload);
}

QTEST_GUILESS_MAIN(TestTelnetComPort)
#include "tst_telnetcomport.moc"
