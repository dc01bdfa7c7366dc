#include "fakes/testwindow.h"
#include "link/rtuframe.h"
#include "window/colors.h"

#include <QTest>

class TestReceivePoller : public QObject {
    Q_OBJECT
private slots:
    void lampBlinksEveryTenthTick();
    void plainRepliesCutAcrossPollsAreJoined_data();
    void plainRepliesCutAcrossPollsAreJoined();
    void rtuReplyIsAcceptedWholeOrSplit_data();
    void rtuReplyIsAcceptedWholeOrSplit();
    void rtuFramesNotForUsAreShownAsErrors_data();
    void rtuFramesNotForUsAreShownAsErrors();
    void rtuFramesThatFailQuietly_data();
    void rtuFramesThatFailQuietly();
    void garbageBeforeAReplyByteByByte();
    void bufferStartsEmptyAtOpenAndBeforeEachCommand();
};

const QByteArray okFrom1 = QByteArray::fromHex("01424F4BD5CB");

// An open port in RTU mode, addressed to board 1, with three lines loaded.
void openAt1(TestWindow &t)
{
    t.box("Text1")->setText("1");
    t.engine.openPort();
    t.timer("Timer3")->setEnabled(false);
    for (qint16 i = 1; i <= 3; ++i)
        t.engine.state.HexLines[i] = ":0" + QByteArray::number(i);
    t.engine.state.LineCount = 3;
}

// Feeds each piece in a tick of its own.
void receive(TestWindow &t, const QList<QByteArray> &pieces)
{
    for (const QByteArray &piece : pieces) {
        t.port->incoming += piece;
        t.engine.receivePollTick();
    }
}

void TestReceivePoller::lampBlinksEveryTenthTick()
{
    TestWindow t;
    const QColor white = Colour::toQColor(Colour::White), grey = Colour::toQColor(Colour::Grey);
    for (int tick = 1; tick <= 9; ++tick)
        t.engine.receivePollTick();
    QCOMPARE(t.lamp()->fillColor(), white);
    t.engine.receivePollTick();
    QCOMPARE(t.lamp()->fillColor(), grey);
    QCOMPARE(t.engine.state.BlinkTicks, qint16(0));
    for (int tick = 1; tick <= 10; ++tick)
        t.engine.receivePollTick();
    QCOMPARE(t.lamp()->fillColor(), white);

    QVERIFY(t.port->writes.isEmpty());

    t.port->setOpen(true);
    t.engine.queryBoard(); // a send: green
    QCOMPARE(t.lamp()->fillColor(), Colour::toQColor(Colour::SendGreen));
    for (int tick = 1; tick <= 10; ++tick)
        t.engine.receivePollTick();
    QCOMPARE(t.lamp()->fillColor(), white); // any other colour gives way to white
}

void TestReceivePoller::plainRepliesCutAcrossPollsAreJoined_data()
{
    QTest::addColumn<QList<QByteArray>>("pieces");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("progress");
    QTest::newRow("whole") << QList<QByteArray>{"OK\r\n"} << "OK\r\n"
                           << "DOWNLOAD";
    QTest::newRow("O, K") << QList<QByteArray>{"O", "K\r\n"} << "OK\r\n"
                          << "DOWNLOAD";
    QTest::newRow("DOWNL, OAD") << QList<QByteArray>{"DOWNL", "OAD\r\n"} << "DOWNLOAD\r\n"
                                << "VERIFY";
    QTest::newRow("ERR, O, R") << QList<QByteArray>{"ERR", "O", "R\r\n"} << "ERROR\r\n"
                               << "ERROR";
    QTest::newRow("noise, then a whole reply")
        << QList<QByteArray>{"\xFF\x00", "OK\r\n"} << "OK\r\n"
        << "DOWNLOAD";
}

void TestReceivePoller::plainRepliesCutAcrossPollsAreJoined()
{
    QFETCH(QList<QByteArray>, pieces);
    QFETCH(QString, shown);
    QFETCH(QString, progress);
    TestWindow t;
    openAt1(t);
    t.rtu()->setChecked(false);
    t.engine.sendNextLine();
    t.port->writes.clear();
    receive(t, pieces.mid(0, pieces.size() - 1));
    QVERIFY(t.port->writes.isEmpty());
    receive(t, {pieces.last()});
    QCOMPARE(t.box("Text8")->text(), shown);
    QCOMPARE(t.progress()->text(), progress);
    QCOMPARE(t.port->writes.size(), progress == "ERROR" ? 0 : 1);
}

void TestReceivePoller::rtuReplyIsAcceptedWholeOrSplit_data()
{
    QTest::addColumn<QList<QByteArray>>("pieces");
    QTest::addColumn<QString>("reply");
    const QByteArray longer = rtuFrame(1, "BOK and more");
    QTest::newRow("whole") << QList<QByteArray>{okFrom1} << QStringLiteral("OK");
    QTest::newRow("4 then 2") << QList<QByteArray>{okFrom1.left(4), okFrom1.mid(4)}
                              << QStringLiteral("OK");
    QTest::newRow("first piece already 6 long")
        << QList<QByteArray>{longer.left(6), longer.mid(6)} << QStringLiteral("OK and more");
    QTest::newRow("a stray 00 after it")
        << QList<QByteArray>{okFrom1 + QByteArray(1, '\0')} << QStringLiteral("OK");
    QTest::newRow("a stray FF after it")
        << QList<QByteArray>{okFrom1 + "\xFF"} << QStringLiteral("OK");
    QTest::newRow("garbage ending on our address, then the rest")
        << QList<QByteArray>{QByteArray::fromHex("00FF00FF00FF01"), okFrom1.mid(1)}
        << QStringLiteral("OK");
    QTest::newRow("more than a bufferful of garbage first, in the same poll")
        << QList<QByteArray>{QByteArray(1500, '\xFF') + okFrom1} << QStringLiteral("OK");
    QTest::newRow("byte by byte") << QList<QByteArray>{okFrom1.left(1),   okFrom1.mid(1, 1),
                                                       okFrom1.mid(2, 1), okFrom1.mid(3, 1),
                                                       okFrom1.mid(4, 1), okFrom1.mid(5)}
                                  << QStringLiteral("OK");
}

void TestReceivePoller::rtuReplyIsAcceptedWholeOrSplit()
{
    QFETCH(QList<QByteArray>, pieces);
    QFETCH(QString, reply);
    TestWindow t;
    openAt1(t);
    t.box("Text8")->setText("nothing yet");
    receive(t, pieces.mid(0, pieces.size() - 1));
    QCOMPARE(t.box("Text8")->text(), QStringLiteral("nothing yet"));
    QVERIFY(t.port->writes.isEmpty());
    receive(t, {pieces.last()});
    QCOMPARE(t.box("Text8")->text(), reply); // never a checksum byte in it
    QCOMPARE(t.port->writes, QList<QByteArray>{rtuFrame(1, "BOOT:01\r\n")});
    QVERIFY(t.engine.state.RxBuffer.bytes().isEmpty());
}

void TestReceivePoller::rtuFramesNotForUsAreShownAsErrors_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QString>("shown");
    const QByteArray fromBoard2 = rtuFrame(2, "BOK");
    const QByteArray wrongLetter = rtuFrame(1, "AOK");
    QTest::newRow("address") << fromBoard2 << "Error ADDR  >> " + QString::fromLatin1(fromBoard2);
    QTest::newRow("command letter")
        << wrongLetter << "Error CMD  >> " + QString::fromLatin1(wrongLetter);
}

void TestReceivePoller::rtuFramesNotForUsAreShownAsErrors()
{
    QFETCH(QByteArray, frame);
    QFETCH(QString, shown);
    TestWindow t;
    openAt1(t);
    receive(t, {frame});
    QCOMPARE(t.box("Text8")->text(), shown);
    QVERIFY(t.port->writes.isEmpty());

    receive(t, {okFrom1}); // the next good reply is taken
    QCOMPARE(t.box("Text8")->text(), QStringLiteral("OK"));
    QCOMPARE(t.port->writes.size(), 1);
}

void TestReceivePoller::rtuFramesThatFailQuietly_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("wrong checksum") << "1" << QByteArray::fromHex("01424F4BD5CC");
    QTest::newRow("fewer than six bytes") << "1" << okFrom1.left(5);
    QTest::newRow("address box out of range") << "300" << okFrom1;
    QTest::newRow("address box too long") << QString(10000, u'9') << okFrom1;
}

void TestReceivePoller::rtuFramesThatFailQuietly()
{
    QFETCH(QString, address);
    QFETCH(QByteArray, bytes);
    TestWindow t;
    openAt1(t);
    t.box("Text1")->setText(address);
    t.box("Text8")->setText("before");
    receive(t, {bytes});
    QCOMPARE(t.box("Text8")->text(), QStringLiteral("before"));
    QVERIFY(t.port->writes.isEmpty());
    QCOMPARE(t.lamp()->fillColor(), Colour::toQColor(Colour::Red));
}

void TestReceivePoller::garbageBeforeAReplyByteByByte()
{
    TestWindow t;
    openAt1(t);
    const QByteArray noisy =
        QByteArray::fromHex("00FF01") + QByteArray::fromHex("01424F4BD5CC") + okFrom1;
    for (const char byte : noisy)
        receive(t, {QByteArray(1, byte)});
    QCOMPARE(t.box("Text8")->text(), QStringLiteral("OK"));
    QCOMPARE(t.port->writes.size(), 1);
}

void TestReceivePoller::bufferStartsEmptyAtOpenAndBeforeEachCommand()
{
    TestWindow t;
    openAt1(t);
    receive(t, {okFrom1.left(3)});
    QVERIFY(!t.engine.state.RxBuffer.bytes().isEmpty());
    t.engine.probeTick(); // the board answers only what it is asked: older bytes are stale
    QVERIFY(t.engine.state.RxBuffer.bytes().isEmpty());

    receive(t, {okFrom1.left(3)});
    t.engine.closePort();
    t.engine.openPort();
    QVERIFY(t.engine.state.RxBuffer.bytes().isEmpty());
}

QTEST_MAIN(TestReceivePoller)
#include "tst_receivepoller.moc"
