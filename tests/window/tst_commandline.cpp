#include "support/testpaths.h"
#include "window/helpversion.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTest>

// bootline --help and --version print and exit, as a desktop program's do;
// any other command line opens the window as ever.
class TestCommandLine : public QObject {
    Q_OBJECT
private slots:
    void printsAndExits_data();
    void printsAndExits();
    void windowOpensOtherwise_data();
    void windowOpensOtherwise();
};

void TestCommandLine::printsAndExits_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("printed"); // each somewhere in standard output
    const QStringList help{"Usage: bootline [options]",
                           "--pace <poll|reply>",
                           "--gap <MS>",
                           "-h, --help",
                           "-v, --version",
                           "-platform"};
    QTest::newRow("--help") << QStringList{"--help"} << help;
    QTest::newRow("-h") << QStringList{"-h"} << help;
    QTest::newRow("--help among Qt's own")
        << QStringList{"-platform", "offscreen", "--pace", "reply", "--help"} << help;
    QTest::newRow("--version") << QStringList{"--version"} << QStringList{"bootline 1.4\n"};
    QTest::newRow("-v") << QStringList{"-v"} << QStringList{"bootline 1.4\n"};
}

// The program itself: no window, exit code 0, the text on standard output,
// and no display needed (over ssh, say).
void TestCommandLine::printsAndExits()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, printed);
    QProcess bootline;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *display : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        environment.remove(QString::fromLatin1(display));
    bootline.setProcessEnvironment(environment);
    bootline.start(TestPaths::window(), arguments);
    QVERIFY(bootline.waitForFinished(30000)); // a window would never finish
    QCOMPARE(bootline.exitStatus(), QProcess::NormalExit);
    QCOMPARE(bootline.exitCode(), 0);
    const QString output = QString::fromLocal8Bit(bootline.readAllStandardOutput());
    for (const QString &text : printed)
        QVERIFY2(output.contains(text), qPrintable(output));
    if (printed.size() == 1)
        QCOMPARE(output, printed.first());
}

void TestCommandLine::windowOpensOtherwise_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("nothing") << QStringList{};
    QTest::newRow("the pace") << QStringList{"--pace", "reply", "--gap", "5"};
    QTest::newRow("an option nobody knows") << QStringList{"--colour", "blue"};
    // Read letter by letter, these would hold -h and -v.
    QTest::newRow("Qt's own") << QStringList{"-platform",   "offscreen", "-reverse",
                                             "-stylesheet", "dark.qss",  "-qwindowgeometry",
                                             "800x600"};
    QTest::newRow("a file named like an option") << QStringList{"--", "--help"};
}

void TestCommandLine::windowOpensOtherwise()
{
    QFETCH(QStringList, arguments);
    QCOMPARE(helpOrVersionText(QStringList{"bootline"} + arguments), QString());
}

QTEST_MAIN(TestCommandLine)
#include "tst_commandline.moc"
