#include "fakes/testengine.h"
#include "window/panelcolours.h"

#include <QTest>

class TestFrameWriter : public QObject {
    Q_OBJECT
private slots:
    void closedPortWritesNothing();
    void plainModeSendsTheTextUnchanged();
    void rtuModeFramesWithAddressAndCrc();
    void addressBoxGivesTheAddressByte_data();
    void addressBoxGivesTheAddressByte();
    void eachSendRestartsARunningPoll_data();
    void eachSendRestartsARunningPoll();
    void failedWriteReturnsZeroSilently();
    void tooLongUnframedTextIsWrittenButCountedAsZero();
};

const QByteArray probe = "BOOTi\r\n";

void TestFrameWriter::closedPortWritesNothing()
{
    TestEngine t;
    const quint32 lamp = t.panel.lampColour();
    QByteArray command = probe;
    QCOMPARE(t.inside.writeFrame(command), qint16(0));
    QVERIFY(t.port->writes.isEmpty());
    QCOMPARE(command, probe);
    QCOMPARE(t.panel.lampColour(), lamp);
}

void TestFrameWriter::plainModeSendsTheTextUnchanged()
{
    TestEngine t;
    t.port->setOpen(true);
    t.engine.setRtu(false);
    QByteArray command = probe;
    QCOMPARE(t.inside.writeFrame(command), qint16(7));
    QCOMPARE(t.port->written(), QByteArray::fromHex("424F4F54690D0A"));
    QCOMPARE(t.panel.lampColour(), Colour::SendGreen);
}

void TestFrameWriter::rtuModeFramesWithAddressAndCrc()
{
    TestEngine t;
    t.port->setOpen(true);
    t.engine.setAddress("1");
    QByteArray command = probe;
    QCOMPARE(t.inside.writeFrame(command), qint16(10));
    const QByteArray frame = QByteArray::fromHex("01424F4F54690D0AFC89");
    QCOMPARE(t.port->written(), frame);
    QCOMPARE(command, frame); // the caller's text now holds the frame
}

void TestFrameWriter::addressBoxGivesTheAddressByte_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<int>("address"); // -1: nothing is written
    QTest::newRow("empty") << "" << 0x00;
    QTest::newRow("12.5") << "12.5" << 0x0C;
    QTest::newRow("13.5") << "13.5" << 0x0E;
    QTest::newRow("1A") << "1A" << 0x01;
    QTest::newRow("&H1F") << "&H1F" << 0x1F;
    QTest::newRow("255") << "255" << 0xFF;
    QTest::newRow("letters") << "hello" << 0x00;
    QTest::newRow("256") << "256" << -1;
    QTest::newRow("300") << "300" << -1;
    QTest::newRow("-5") << "-5" << -1;
    QTest::newRow("&HFFFF") << "&HFFFF" << -1;
    QTest::newRow("1e400") << "1e400" << -1;
    QTest::newRow("10000 characters") << QString(10000, u'4') << -1;
}

void TestFrameWriter::addressBoxGivesTheAddressByte()
{
    QFETCH(QString, box);
    QFETCH(int, address);
    TestEngine t;
    t.port->setOpen(true);
    t.engine.setAddress(box);
    QByteArray command = probe;
    const qint16 written = t.inside.writeFrame(command);
    if (address < 0) {
        QCOMPARE(written, qint16(0));
        QVERIFY(t.port->writes.isEmpty());
        return;
    }
    QCOMPARE(written, qint16(10));
    QCOMPARE(int(quint8(t.port->written().at(0))), address);

    // Unframed sends do not care what the box holds.
    t.engine.setRtu(false);
    command = probe;
    QCOMPARE(t.inside.writeFrame(command), qint16(7));
}

// On the poll's clock: a send puts the next tick a whole interval off, awake,
// whether the poll was awake or asleep until the blink.
void TestFrameWriter::eachSendRestartsARunningPoll_data()
{
    QTest::addColumn<bool>("asleep");
    QTest::newRow("awake") << false;
    QTest::newRow("asleep") << true;
}

void TestFrameWriter::eachSendRestartsARunningPoll()
{
    QFETCH(bool, asleep);
    TestEngine t;
    qint64 nowMs = 0;
    t.inside.setPollClock([&nowMs] { return nowMs; });
    t.port->setOpen(true);
    Timer *poll = &t.inside.pollTimer();
    QByteArray command = probe;
    t.inside.writeFrame(command);
    QVERIFY(!poll->isEnabled()); // a stopped poll stays stopped

    t.engine.closePort();
    t.engine.openPort();
    t.inside.probeTimer().setEnabled(false);
    if (asleep) {
        nowMs = 20;
        QVERIFY(QMetaObject::invokeMethod(poll, "timeout")); // finds nothing: sleeps
        QCOMPARE(poll->interval(), 180);
    }
    nowMs += 15;
    command = probe;
    t.inside.writeFrame(command);
    QVERIFY(poll->isEnabled());
    QCOMPARE(poll->interval(), 20);
    QVERIFY(poll->remainingTime() <= 20);
    nowMs += 20;
    const qint16 blinkTicks = t.inside.state.blinkTicks;
    QVERIFY(QMetaObject::invokeMethod(poll, "timeout"));
    QCOMPARE(t.inside.state.blinkTicks, qint16(blinkTicks + 1)); // one tick since the send
}

void TestFrameWriter::failedWriteReturnsZeroSilently()
{
    TestEngine t;
    t.port->setOpen(true);
    t.port->failWrites = true;
    QByteArray command = probe;
    QCOMPARE(t.inside.writeFrame(command), qint16(0));
    QVERIFY(t.reports.shown.isEmpty());
    QCOMPARE(command.size(), 10); // framed before the write failed
}

void TestFrameWriter::tooLongUnframedTextIsWrittenButCountedAsZero()
{
    TestEngine t;
    t.port->setOpen(true);
    t.engine.setRtu(false);
    QByteArray command(40000, 'x');
    QCOMPARE(t.inside.writeFrame(command), qint16(0));
    QCOMPARE(t.port->written().size(), 40000);

    t.engine.setRtu(true);
    t.port->writes.clear();
    QCOMPARE(t.inside.writeFrame(command), qint16(0)); // too long to checksum: nothing goes out
    QVERIFY(t.port->writes.isEmpty());
}

QTEST_GUILESS_MAIN(TestFrameWriter)
#include "tst_framewriter.moc"
