#include "link/linesequence.h"
#include "link/portdriver.h"
#include "link/qtserialport.h"
#include "shared/runtimeerror.h"

#include <QFile>
#include <QTest>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

// The local port's line options on a real pty, with the driver's system
// calls answered by a fake that writes each one down at its fake time.
class TestPortLineSetup : public QObject {
    Q_OBJECT
private slots:
    void openAndClose_data();
    void openAndClose();
    void sequencesRunOnTimers();
};

namespace {

// driver: what the fake driver does, in words such as "latency-off lines-refused".
class FakePortDriver : public PortDriver {
public:
    FakePortDriver(const QString &driver, QStringList &calls) : m_driver(driver), m_calls(calls) {}

    std::optional<bool> lowLatency(QSerialPort &) override
    {
        log(QStringLiteral("ask latency"));
        return does("latency-on") || does("latency-off") ? std::optional(does("latency-on"))
                                                         : std::nullopt;
    }
    bool setLowLatency(QSerialPort &, bool on) override
    {
        log(QStringLiteral("latency %1").arg(on));
        return !does("latency-refused");
    }
    std::variant<Rs485Setting, QString> rs485(QSerialPort &) override
    {
        if (does("no-rs485"))
            return QStringLiteral("Inappropriate ioctl for device");
        return Rs485Setting{false, false, true, 9, 0}; // as another program left it
    }
    QString setRs485(QSerialPort &, const Rs485Setting &mode) override
    {
        log(QString::asprintf("rs485 %d%d%d %d,%d", mode.enabled, mode.rtsOnSend, mode.rtsAfterSend,
                              mode.delayBeforeSendMs, mode.delayAfterSendMs));
        return does("rs485-refused") ? QStringLiteral("Invalid argument") : QString();
    }
    QString readModemLines(QSerialPort &) override
    {
        return does("lines-refused") ? QStringLiteral("No lines") : QString();
    }
    QString setDtr(QSerialPort &, bool on) override { return line(QStringLiteral("dtr"), on); }
    QString setRts(QSerialPort &, bool on) override { return line(QStringLiteral("rts"), on); }
    void wait(int ms) override { m_clockMs += ms; }
    int waitTimerMs(int ms) override
    {
        m_clockMs += ms;
        return 0;
    }

    void log(const QString &call) { m_calls << call + QStringLiteral(" @%1").arg(m_clockMs); }
    bool linesRefused = false;

private:
    bool does(const char *word) const { return m_driver.contains(QLatin1String(word)); }
    QString line(const QString &name, bool on)
    {
        if (linesRefused || does("lines-refused"))
            return QStringLiteral("Inappropriate ioctl for device");
        log(QStringLiteral("%1 %2").arg(name).arg(on));
        return {};
    }

    QString m_driver;
    QStringList &m_calls;
    int m_clockMs = 0;
};

LineOptions lineOptions(bool lowLatency, std::optional<Rs485Mode> rs485, const QString &before,
                        const QString &after)
{
    const auto sequence = [](const QString &text) {
        return text.isEmpty() ? LineSequence() : std::get<LineSequence>(lineSequenceOfText(text));
    };
    return {lowLatency, rs485, sequence(before), sequence(after)};
}

struct Pty {
    Pty() : board(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC))
    {
        if (board >= 0 && ::grantpt(board) == 0 && ::unlockpt(board) == 0)
            device = QFile::decodeName(::ptsname(board));
    }
    ~Pty() { ::close(board); }
    int board;
    QString device; // empty: none could be made
};

} // namespace

void TestPortLineSetup::openAndClose_data()
{
    QTest::addColumn<LineOptions>("options");
    QTest::addColumn<QString>("driver");
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<QString>("refusal"); // empty: it opens
    const auto plain = [](bool low) { return lineOptions(low, {}, {}, {}); };
    QTest::newRow("latency timer on: turned off, and back")
        << plain(true) << "latency-off"
        << QStringList{"ask latency @0", "latency 1 @0", "open @0", "latency 0 @0"} << "";
    QTest::newRow("low latency already")
        << plain(true) << "latency-on" << QStringList{"ask latency @0", "open @0"} << "";
    QTest::newRow("no such setting: a pty")
        << plain(true) << "" << QStringList{"ask latency @0", "open @0"} << "";
    QTest::newRow("refused: no error")
        << plain(true) << "latency-off latency-refused"
        << QStringList{"ask latency @0", "latency 1 @0", "open @0"} << "";
    QTest::newRow("not asked for") << plain(false) << "latency-off" << QStringList{"open @0"} << "";
    QTest::newRow("reset before the job")
        << lineOptions(false, {}, "reset", {}) << ""
        << QStringList{"dtr 0 @0", "rts 1 @0", "rts 0 @100", "open @150"} << "";
    QTest::newRow("boot pin held through a reset, reset after")
        << lineOptions(false, {}, "dtr,rts,wait:20,-rts,wait:30", "reset") << ""
        << QStringList{"dtr 1 @0",  "rts 1 @0",  "rts 0 @20", "open @50",
                       "dtr 0 @50", "rts 1 @50", "rts 0 @150"}
        << "";
    QTest::newRow("RS-485 with delays, and back")
        << lineOptions(false, Rs485Mode{3, 7}, {}, {}) << ""
        << QStringList{"rs485 110 3,7 @0", "open @0", "rs485 001 9,0 @0"} << "";
    QTest::newRow("after sequence refused: it closes all the same")
        << lineOptions(false, Rs485Mode{}, {}, "dtr") << "close-refuses-lines"
        << QStringList{"rs485 110 0,0 @0", "open @0", "rs485 001 9,0 @0"} << "";
    QTest::newRow("no RS-485 mode")
        << lineOptions(true, Rs485Mode{3, 7}, "rts", {}) << "latency-off no-rs485"
        << QStringList{"ask latency @0", "latency 1 @0", "latency 0 @0"}
        << "has no RS-485 mode: its driver refused it (Inappropriate ioctl for device). Leave "
           "out --rs485";
    QTest::newRow("RS-485 delays refused")
        << lineOptions(false, Rs485Mode{3, 7}, "rts", {}) << "rs485-refused"
        << QStringList{"rs485 110 3,7 @0"}
        << "refused the RS-485 mode asked for: Invalid argument (delays of 3 and 7 ms)";
    QTest::newRow("modem lines refused: all put back")
        << lineOptions(true, Rs485Mode{3, 7}, "rts", {}) << "latency-off lines-refused"
        << QStringList{"ask latency @0", "latency 1 @0", "rs485 110 3,7 @0", "rs485 001 9,0 @0",
                       "latency 0 @0"}
        << "cannot drive its RTS line: its driver refused it (Inappropriate ioctl for device)";
    QTest::newRow("no modem lines for the after sequence: found out on open")
        << lineOptions(false, {}, {}, "reset") << "lines-refused" << QStringList{}
        << "cannot drive its modem lines: its driver refused it (No lines)";
}

void TestPortLineSetup::openAndClose()
{
    QFETCH(LineOptions, options);
    QFETCH(QString, driver);
    QFETCH(QStringList, calls);
    QFETCH(QString, refusal);
    auto pty = std::make_unique<Pty>();
    const QString device = pty->device;
    QVERIFY(!device.isEmpty());
    QStringList made;
    auto owned = std::make_unique<FakePortDriver>(driver, made);
    FakePortDriver &fake = *owned;
    QtSerialPort port(std::move(owned));
    port.setTarget({PortTarget::Kind::DevicePath, 0, device, {}});
    port.setLineOptions(options);
    try {
        port.setOpen(true);
        QTRY_VERIFY(!port.isOpening()); // the waits are timers of no length here
        QVERIFY(port.isOpen());
        fake.log(QStringLiteral("open"));
        fake.linesRefused = driver.contains("close-refuses-lines");
        port.setOpen(false);
    } catch (const RuntimeError &error) {
        QCOMPARE(error.number(), int(RuntimeError::PortNotAvailable));
        QVERIFY2(error.description().startsWith("Port " + device + ' '), qPrintable(device));
        QVERIFY2(!refusal.isEmpty() && error.description().contains(refusal),
                 qPrintable(error.description()));
    }
    pty.reset();
    QVERIFY(!port.isOpen());
    QTRY_COMPARE(made, calls);
}

// Each wait a timer: the open and the close return at once, an open while
// the last close's sequence runs waits for it, closing gives an open up
// unheard, and a port that goes away first finishes its close sequence.
void TestPortLineSetup::sequencesRunOnTimers()
{
    const Pty pty;
    QVERIFY(!pty.device.isEmpty());
    QStringList made;
    auto port = std::make_unique<QtSerialPort>(std::make_unique<FakePortDriver>("", made));
    int told = 0;
    port->setOpenProgressHandler([&] { ++told; });
    port->setTarget({PortTarget::Kind::DevicePath, 0, pty.device, {}});
    port->setLineOptions(lineOptions(false, {}, "dtr,wait:100,-dtr", "rts,wait:200,-rts"));
    port->setOpen(true);
    QVERIFY(port->isOpening() && port->isOpen());
    QCOMPARE(port->openingStep(), "Modem lines of " + pty.device);
    QCOMPARE(made, QStringList{"dtr 1 @0"});
    QTRY_VERIFY(!port->isOpening());
    QCOMPARE(told, 1);
    port->setOpen(false);
    QVERIFY(!port->isOpen());
    port->setOpen(true);
    QCOMPARE(port->openingStep(), "Finishing the close of " + pty.device);
    QTRY_VERIFY(!port->isOpening());
    QCOMPARE(told, 2);
    QVERIFY(port->isOpen() && port->openFailure().isEmpty());
    const QStringList opened{"dtr 1 @0",   "dtr 0 @100", "rts 1 @100",
                             "rts 0 @300", "dtr 1 @300", "dtr 0 @400"};
    QCOMPARE(made, opened);
    port->setOpen(false);
    port->setOpen(true);
    port->setOpen(false); // before the close's sequence is over
    port.reset();
    QCOMPARE(told, 2);
    const QStringList closed{"rts 1 @400", "rts 0 @600"};
    QCOMPARE(made, opened + closed);
}

QTEST_GUILESS_MAIN(TestPortLineSetup)
#include "tst_portlinesetup.moc"
