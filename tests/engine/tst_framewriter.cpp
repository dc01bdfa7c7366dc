#include "fakes/testengine.h"
#include "window/panelcolours.h"

#include <QSignalSpy>
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
    void failedWriteIsSilentAndLeavesTheLampAlone();
    void tooLongLineIsNoLineSent();
};

const QByteArray probe = "BOOTi\r\n";

// Each test sends the board's query: one command, framed as every command is.

void TestFrameWriter::closedPortWritesNothing()
{
    TestEngine t;
    const quint32 lamp = t.panel.lampColour();
    t.engine.queryBoard();
    QVERIFY(t.port->writes.isEmpty());
    QCOMPARE(t.panel.lampColour(), lamp);
}

void TestFrameWriter::plainModeSendsTheTextUnchanged()
{
    TestEngine t;
    t.port->setOpen(true);
    t.engine.setRtu(false);
    t.engine.queryBoard();
    QCOMPARE(t.port->written(), QByteArray::fromHex("424F4F54690D0A"));
    QCOMPARE(t.panel.lampColour(), Colour::SendGreen);
}

void TestFrameWriter::rtuModeFramesWithAddressAndCrc()
{
    TestEngine t;
    QSignalSpy written(&t.engine, &Engine::frameWritten);
    t.port->setOpen(true);
    t.engine.setAddress("1");
    t.engine.queryBoard();
    const QByteArray frame = QByteArray::fromHex("01424F4F54690D0AFC89");
    QCOMPARE(t.port->written(), frame);
    QCOMPARE(written.value(0).value(0).toByteArray(), frame); // the trace sees the frame
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
    t.engine.queryBoard();
    if (address < 0) {
        QVERIFY(t.port->writes.isEmpty());
    } else {
        QCOMPARE(t.port->written().size(), probe.size() + 3);
        QCOMPARE(int(quint8(t.port->written().at(0))), address);
    }

    // Unframed sends do not care what the box holds.
    t.engine.setRtu(false);
    t.port->writes.clear();
    t.engine.queryBoard();
    QCOMPARE(t.port->written(), probe);
}

// A send puts the poll's next look a whole interval off, awake, whether the
// poll was awake or asleep until the blink: the answer is taken then, not
// sooner and not later.
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
    QSignalSpy taken(&t.engine, &Engine::replyRead);
    t.engine.setRtu(false);
    t.engine.setAddress("1");
    t.engine.openPort();
    if (asleep)
        t.time.advance(JobTiming::PollEveryMs + 5); // one look found nothing: asleep
    t.time.advance(10);
    t.engine.queryBoard();
    t.port->arrive("VER=1.0\r\n");
    t.time.advance(JobTiming::PollEveryMs - 1);
    QVERIFY(taken.isEmpty());
    t.time.advance(1);
    QCOMPARE(taken.size(), 1);
}

void TestFrameWriter::failedWriteIsSilentAndLeavesTheLampAlone()
{
    TestEngine t;
    t.port->setOpen(true);
    t.port->failWrites = true;
    const quint32 lamp = t.panel.lampColour();
    t.engine.queryBoard();
    QVERIFY(t.reports.shown.isEmpty());
    QCOMPARE(t.panel.lampColour(), lamp);
}

// A line too long to count is written unframed but is no line sent; framed,
// too long to checksum, it does not go out at all.
void TestFrameWriter::tooLongLineIsNoLineSent()
{
    TestEngine t;
    QSignalSpy sent(&t.engine, &Engine::lineSent);
    t.port->setOpen(true);
    t.engine.setRtu(false);
    t.engine.startDownload({QByteArray(40000, 'x')});
    QCOMPARE(t.port->written(), "BOOT" + QByteArray(40000, 'x') + "\r\n");
    QVERIFY(sent.isEmpty());

    t.engine.setRtu(true);
    t.port->writes.clear();
    t.engine.sendNextLine();
    QVERIFY(t.port->writes.isEmpty());
    QVERIFY(sent.isEmpty());
}

QTEST_GUILESS_MAIN(TestFrameWriter)
#include "tst_framewriter.moc"
