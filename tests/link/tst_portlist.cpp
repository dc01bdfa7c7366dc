#include "link/portlist.h"

#include <QTest>

class TestPortList : public QObject {
    Q_OBJECT
private slots:
    void describePort_data();
    void describePort();
};

void TestPortList::describePort_data()
{
    QTest::addColumn<PresentPort>("port");
    QTest::addColumn<QString>("line");
    QTest::newRow("a USB adapter that tells all")
        << PresentPort{"/dev/ttyUSB0", "FT232R USB UART", "FTDI", "0403:6001", "A50285BI", {"COM3"}}
        << "/dev/ttyUSB0, FT232R USB UART by FTDI, USB 0403:6001, serial number A50285BI, as "
           "COM3";
    QTest::newRow("a maker already in the product")
        << PresentPort{"/dev/ttyACM0", "Silicon Labs CP2102", "Silicon Labs", "10c4:ea60", {}, {}}
        << "/dev/ttyACM0, Silicon Labs CP2102, USB 10c4:ea60";
    QTest::newRow("a maker only") << PresentPort{"/dev/ttyUSB1", {}, "QinHeng", {}, {}, {}}
                                  << "/dev/ttyUSB1, made by QinHeng";
    QTest::newRow("a built-in port")
        << PresentPort{"/dev/ttyS0", {}, {}, {}, {}, {}} << "/dev/ttyS0";
    QTest::newRow("an adapter's words are shown, not obeyed")
        << PresentPort{"/dev/ttyUSB2", "UART\x1b[2J", {}, {}, "S\x07N", {}}
        << "/dev/ttyUSB2, UART\\x1B[2J, serial number S\\x07N";
}

void TestPortList::describePort()
{
    QFETCH(PresentPort, port);
    QFETCH(QString, line);
    QCOMPARE(::describePort(port), line);
}

QTEST_GUILESS_MAIN(TestPortList)
#include "tst_portlist.moc"
