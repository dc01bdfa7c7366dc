#include "cli/options.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestCliOptions : public QObject {
    Q_OBJECT
private slots:
    void readsWhatIsAsked();
    void addressLists_data();
    void addressLists();
    void portNamesTaken_data();
    void portNamesTaken();
    void newAddressesTaken_data();
    void newAddressesTaken();
    void traceNeverTheHexFile_data();
    void traceNeverTheHexFile();
    void refusesWhatCannotBeDone_data();
    void refusesWhatCannotBeDone();
};

CliOptions parsed(const QStringList &arguments)
{
    const auto result = parseCliOptions(QStringList{"bootline-cli"} + arguments);
    if (const QString *error = std::get_if<QString>(&result))
        qFatal("refused: %s", qPrintable(*error));
    return std::get<CliOptions>(result);
}

void TestCliOptions::readsWhatIsAsked()
{
    const CliOptions defaults = parsed({"firmware.hex"});
    QCOMPARE(defaults.file, QStringLiteral("firmware.hex"));
    QCOMPARE(defaults.port, QStringLiteral("COM3"));
    QCOMPARE(defaults.addresses, QStringList{QString()}); // scan, as an empty address box
    QCOMPARE(defaults.replyTimeoutMs, 10000);
    QCOMPARE(defaults.retries, 0);
    QCOMPARE(defaults.probeAttempts, 127);
    QVERIFY(!defaults.plain && !defaults.query && !defaults.install && !defaults.json);

    const CliOptions all =
        parsed({"-p", "/dev/ttyUSB0", "-a", "7", "--plain", "--query", "--set-address", "10",
                "--install", "--reply-timeout", "250", "--retries", "2", "--trace", "-", "--json",
                "--probe-attempts", "3", "x.hex"});
    QCOMPARE(all.port, QStringLiteral("/dev/ttyUSB0"));
    QCOMPARE(all.addresses, QStringList{"7"});
    QVERIFY(all.plain && all.query && all.install && all.json);
    QCOMPARE(all.newAddress, QStringLiteral("10"));
    QCOMPARE(all.replyTimeoutMs, 250);
    QCOMPARE(all.retries, 2);
    QCOMPARE(all.probeAttempts, 3);
    QCOMPARE(all.tracePath, QStringLiteral("-"));
    QVERIFY(!all.replyPace);

    const CliOptions paced = parsed({"--pace", "reply", "--gap", "5", "x.hex"});
    QVERIFY(paced.replyPace);
    QCOMPARE(paced.gapMs, 5);

    QCOMPARE(parsed({"--list-ports"}).request, CliOptions::Request::ListPorts);
    QCOMPARE(parsed({"--version"}).request, CliOptions::Request::Version);
    QCOMPARE(parsed({"-h"}).request, CliOptions::Request::Help);
}

void TestCliOptions::addressLists_data()
{
    QTest::addColumn<QString>("list");
    QTest::addColumn<QStringList>("addresses");
    QTest::newRow("one") << "5" << QStringList{"5"};
    QTest::newRow("list and ranges") << "1,3,5-8" << QStringList{"1", "3", "5", "6", "7", "8"};
    QTest::newRow("blanks") << " 2 , 4-5 " << QStringList{"2", "4", "5"};
    QTest::newRow("scan") << "scan" << QStringList{QString()};
    QTest::newRow("no probe") << "0" << QStringList{"0"};
    QTest::newRow("the highest") << "247" << QStringList{"247"};
}

void TestCliOptions::addressLists()
{
    QFETCH(QString, list);
    QFETCH(QStringList, addresses);
    QCOMPARE(parsed({"-a", list, "x.hex"}).addresses, addresses);
}

void TestCliOptions::portNamesTaken_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("COM1") << "COM1";
    QTest::newRow("the highest number") << "COM32767";
    QTest::newRow("a device") << "/dev/ttyUSB0";
    QTest::newRow("a by-id link") << "/dev/serial/by-id/usb-FTDI_FT232R-if00-port0";
}

void TestCliOptions::portNamesTaken()
{
    QFETCH(QString, name);
    QCOMPARE(parsed({"-p", name, "x.hex"}).port, name);
}

void TestCliOptions::newAddressesTaken_data()
{
    QTest::addColumn<QString>("given");
    QTest::addColumn<QString>("newAddress"); // the box text the engine gets, in decimal
    QTest::newRow("the lowest") << "1"
                                << "1";
    QTest::newRow("the highest") << "247"
                                 << "247";
    QTest::newRow("a leading zero is still decimal") << "010"
                                                     << "10";
}

void TestCliOptions::newAddressesTaken()
{
    QFETCH(QString, given);
    QFETCH(QString, newAddress);
    QCOMPARE(parsed({"-a", "1", "--set-address", given}).newAddress, newAddress);
}

void TestCliOptions::traceNeverTheHexFile_data()
{
    QTest::addColumn<QString>("tracePath"); // relative to the folder of fw.hex
    QTest::newRow("its name") << "fw.hex";
    QTest::newRow("another way there") << "sub/../fw.hex";
    QTest::newRow("a link to it") << "link.hex";
}

void TestCliOptions::traceNeverTheHexFile()
{
    QFETCH(QString, tracePath);
    QTemporaryDir dir;
    QFile hex(dir.filePath("fw.hex"));
    QVERIFY(hex.open(QIODevice::WriteOnly));
    QVERIFY(QDir(dir.path()).mkdir("sub"));
    QVERIFY(QFile::link(hex.fileName(), dir.filePath("link.hex")));
    const auto result = parseCliOptions(
        {"bootline-cli", "--trace", dir.filePath(tracePath), "-a", "5", hex.fileName()});
    const QString *error = std::get_if<QString>(&result);
    QVERIFY(error);
    QVERIFY2(error->contains("is the HEX file"), qPrintable(*error));
    QCOMPARE(parsed({"--trace", dir.filePath("fw.trace"), hex.fileName()}).tracePath,
             dir.filePath("fw.trace"));
}

void TestCliOptions::refusesWhatCannotBeDone_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("says");
    QTest::newRow("unknown option") << QStringList{"--fast", "x.hex"} << "fast";
    QTest::newRow("nothing to do") << QStringList{"-a", "1"} << "nothing to do";
    QTest::newRow("two files") << QStringList{"a.hex", "b.hex"} << "one HEX file";
    QTest::newRow("address 248") << QStringList{"-a", "248", "x.hex"} << "1 to 247";
    QTest::newRow("address twice") << QStringList{"-a", "1,1", "x.hex"} << "each once";
    QTest::newRow("address range backwards") << QStringList{"-a", "5-3", "x.hex"} << "1,3,5-8";
    QTest::newRow("address words") << QStringList{"-a", "all", "x.hex"} << "scan, 0";
    QTest::newRow("0 in a list") << QStringList{"-a", "0,1", "x.hex"} << "1 to 247";
    QTest::newRow("timeout 0") << QStringList{"--reply-timeout", "0", "x.hex"} << "--reply-timeout";
    QTest::newRow("timeout words")
        << QStringList{"--reply-timeout", "ten", "x.hex"} << "whole number";
    QTest::newRow("query without a probe") << QStringList{"-a", "0", "--query"} << "-a 0";
    QTest::newRow("pace fast") << QStringList{"--pace", "fast", "x.hex"} << "poll or reply";
    QTest::newRow("gap negative") << QStringList{"--gap", "-5", "x.hex"} << "--gap";
    QTest::newRow("retries negative") << QStringList{"--retries", "-1", "x.hex"} << "--retries";
    QTest::newRow("no probe") << QStringList{"--probe-attempts", "0", "x.hex"} << "1 to 127";
    QTest::newRow("probes past the scan")
        << QStringList{"--probe-attempts", "128", "x.hex"} << "1 to 127";
    const QString newAddressRule = "--set-address takes a whole number from 1 to 247";
    for (const char *newAddress : {"0", "248", "255", "256", "-1", "2.5", "abc"})
        QTest::addRow("new address %s", newAddress)
            << QStringList{"-a", "1", "--set-address", newAddress} << newAddressRule;
    // The window reads any name from its fourth character on: these would open COM3 or COM4.
    for (const char *port :
         {"ACM3", "usb3", "COM3.5", "COM 3", "COM-3", "com3", "COM0", "COM", "COM32768", "ttyUSB0"})
        QTest::addRow("port %s", port) << QStringList{"-p", port, "x.hex"} << "--port takes COM<n>";
    QTest::newRow("new address while scanning")
        << QStringList{"--set-address", "10"} << "one board's address";
    QTest::newRow("new address for a bus")
        << QStringList{"-a", "1-3", "--set-address", "10"} << "one board's address";
}

void TestCliOptions::refusesWhatCannotBeDone()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, says);
    const auto result = parseCliOptions(QStringList{"bootline-cli"} + arguments);
    const QString *error = std::get_if<QString>(&result);
    QVERIFY(error);
    QVERIFY2(error->contains(says), qPrintable(*error));
}

QTEST_APPLESS_MAIN(TestCliOptions)
#include "tst_options.moc"
