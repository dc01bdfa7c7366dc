#include "cli/options.h"

#include <QTest>

class TestCliOptions : public QObject {
    Q_OBJECT
private slots:
    void readsWhatIsAsked();
    void addressLists_data();
    void addressLists();
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
    QVERIFY(!defaults.plain && !defaults.query && !defaults.install && !defaults.json);

    const CliOptions all = parsed({"-p", "/dev/ttyUSB0", "-a", "7", "--plain", "--query",
                                   "--set-address", "300", "--install", "--reply-timeout", "250",
                                   "--retries", "2", "--trace", "-", "--json", "x.hex"});
    QCOMPARE(all.port, QStringLiteral("/dev/ttyUSB0"));
    QCOMPARE(all.addresses, QStringList{"7"});
    QVERIFY(all.plain && all.query && all.install && all.json);
    QCOMPARE(all.newAddress, QStringLiteral("300")); // the low byte, 2C, as the window's rule
    QCOMPARE(all.replyTimeoutMs, 250);
    QCOMPARE(all.retries, 2);
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
    QTest::newRow("new address 256")
        << QStringList{"-a", "1", "--set-address", "256"} << "low byte is 0";
    QTest::newRow("new address letters")
        << QStringList{"-a", "1", "--set-address", "abc"} << "low byte is 0";
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
