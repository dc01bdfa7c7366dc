#include "fakes/testengine.h"
#include "shared/runtimeerror.h"
#include "support/hexrecords.h"
#include "support/testfiles.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

class TestFirmwareLoader : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cancelShowsCancelAndChangesNothing();
    void loadStartsTheDownloadWithTheFirstLine();
    void loadOf9000LinesFillsTheTable();
    void refusedFileLeavesTheJobAsItWas_data();
    void refusedFileLeavesTheJobAsItWas();
    void emptyFileStartsNothing();
    void shorterFileLeavesOldEntriesUnsent();
    void linesGoOutAsTheyStandInTheFile();

private:
    QString write(const QString &name, const QByteArray &content);
    QTemporaryDir m_dir;
};

const QByteArray Old1 = dataRecord(0x0100, 1);
const QByteArray Old2 = dataRecord(0x0110, 2);
const QByteArray Old3 = dataRecord(0x0120, 3);

// A line as the verify pass sends it.
QByteArray verifyForm(QByteArray line)
{
    return "BOOT" + line.replace(':', '#') + "\r\n";
}

void TestFirmwareLoader::init()
{
    QVERIFY(m_dir.isValid());
}

QString TestFirmwareLoader::write(const QString &name, const QByteArray &content)
{
    return writeFile(m_dir, name, content);
}

// Loads `file` on an open plain port, as if the operator had picked it.
void loadInto(TestEngine &t, const QString &file)
{
    if (!t.port->isOpen()) {
        t.engine.setRtu(false);
        t.engine.openPort();
    }
    t.engine.loadFirmwareFile(file);
}

// Three lines downloaded and answered, and the verify pass sent its line 1.
void startVerifying(TestEngine &t, const QString &file)
{
    loadInto(t, file);
    for (const char *reply : {"OK\r\n", "OK\r\n", "DOWNLOAD\r\n"})
        t.arrive(reply);
    QCOMPARE(t.port->writes.last(), verifyForm(Old1));
    t.port->writes.clear();
}

void TestFirmwareLoader::cancelShowsCancelAndChangesNothing()
{
    TestEngine t;
    QSignalSpy ready(&t.engine, &Engine::downloadReady);
    loadInto(t, QString());
    QCOMPARE(t.reports.shown.size(), 1);
    QCOMPARE(t.reports.shown[0].error, 0);
    QCOMPARE(t.reports.shown[0].text, QStringLiteral("Cancel"));
    QVERIFY(ready.isEmpty());
    QVERIFY(t.port->writes.isEmpty());

    // A verify pass under way goes on.
    startVerifying(t, write("three.hex", Old1 + "\r\n" + Old2 + "\r\n" + EndOfFileRecord));
    loadInto(t, QString());
    t.arrive("OK\r\n");
    QCOMPARE(t.port->writes, QList<QByteArray>{verifyForm(Old2)});
}

void TestFirmwareLoader::loadStartsTheDownloadWithTheFirstLine()
{
    TestEngine t;
    QSignalSpy sendEnabled(&t.panel, &Panel::sendEnabledChanged);
    loadInto(t, write("three.hex", Old1 + "\r\n" + Old2 + "\r\n" + EndOfFileRecord + "\r\n"));
    QVERIFY(t.reports.shown.isEmpty());
    QCOMPARE(t.engine.jobSoFar().lines, qint16(3));
    QCOMPARE(t.engine.jobSoFar().pass, Pass::Download);
    QCOMPARE(t.panel.progressMaximum(), 3);
    QCOMPARE(t.panel.progressPosition(), 1);
    QCOMPARE(t.panel.progressText(), QStringLiteral("DOWNLOAD"));
    QCOMPARE(sendEnabled.size(), 1); // "Send" is enabled, whatever it was
    QVERIFY(t.panel.sendEnabled());
    QCOMPARE(t.port->writes, QList<QByteArray>{"BOOT" + Old1 + "\r\n"});
}

void TestFirmwareLoader::loadOf9000LinesFillsTheTable()
{
    const QList<QByteArray> records = hexFileRecords(9000);
    TestEngine t;
    loadInto(t, write("full.hex", records.join("\r\n")));
    QVERIFY(t.reports.shown.isEmpty());
    QCOMPARE(t.panel.progressMaximum(), 9000);
    for (int line = 2; line <= 9000; ++line)
        t.engine.sendNextLine();
    QCOMPARE(t.port->writes.last(), "BOOT" + EndOfFileRecord + "\r\n");
}

void TestFirmwareLoader::refusedFileLeavesTheJobAsItWas_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("error");
    QTest::newRow("9001 lines") << write("9001.hex", hexFileRecords(9001).join("\n"))
                                << int(RuntimeError::SubscriptOutOfRange);
    QTest::newRow("a line too long to send")
        << write("long.hex", Old1 + "\r\n:" + QByteArray(40000, 'A'))
        << int(RuntimeError::Overflow);
    QTest::newRow("vanished") << m_dir.filePath("vanished.hex") << int(RuntimeError::FileNotFound);
    QTest::newRow("a folder") << m_dir.path() << 75;
    QTest::newRow("NUL bytes") << write("nul.hex", QByteArray(64, '\0'))
                               << int(RuntimeError::InvalidFileFormat);
    QTest::newRow("a bad checksum") << write("bad.hex", Old1 + "\r\n" + Old2.chopped(1) + "0")
                                    << int(RuntimeError::InvalidFileFormat);
    QTest::newRow("no end-of-file record")
        << write("cut.hex", Old1 + "\r\n" + Old2) << int(RuntimeError::InvalidFileFormat);
    // The board would write nothing and answer the end as done.
    QTest::newRow("no data bytes")
        << write("eof.hex", EndOfFileRecord + "\r\n") << int(RuntimeError::InvalidFileFormat);
}

void TestFirmwareLoader::refusedFileLeavesTheJobAsItWas()
{
    QFETCH(QString, file);
    QFETCH(int, error);
    TestEngine t;
    startVerifying(t, write("good.hex", Old1 + "\r\n" + Old2 + "\r\n" + EndOfFileRecord));
    const QString barText = t.panel.progressText();
    QSignalSpy ended(&t.engine, &Engine::jobEnded);

    loadInto(t, file);
    QCOMPARE(t.reports.shown.size(), 1);
    QCOMPARE(t.reports.shown[0].error, error);
    QVERIFY(ended.isEmpty());
    QCOMPARE(t.panel.progressMaximum(), 3);
    QCOMPARE(t.panel.progressText(), barText); // not "NO FILE": it goes on
    QVERIFY(t.port->writes.isEmpty());

    for (const char *reply : {"OK\r\n", "OK\r\n", "DOWNLOAD\r\n"})
        t.arrive(reply);
    QCOMPARE(t.port->writes, (QList<QByteArray>{verifyForm(Old2), verifyForm(EndOfFileRecord)}));
    QCOMPARE(ended.size(), 1);
    QVERIFY(t.engine.jobSoFar().verified());
}

void TestFirmwareLoader::emptyFileStartsNothing()
{
    TestEngine t;
    loadInto(t, write("good.hex", Old1 + "\r\n" + EndOfFileRecord + "\r\n"));
    t.port->writes.clear();
    loadInto(t, write("empty.hex", ""));
    QCOMPARE(t.reports.shown.size(), 1);
    QVERIFY(t.reports.shown[0].text.contains("empty"));
    QVERIFY(t.port->writes.isEmpty());
    QCOMPARE(t.panel.progressText(), QStringLiteral("DOWNLOAD"));
    t.engine.sendNextLine(); // line 2 of the first file is next
    QCOMPARE(t.port->writes, QList<QByteArray>{"BOOT" + EndOfFileRecord + "\r\n"});
}

void TestFirmwareLoader::shorterFileLeavesOldEntriesUnsent()
{
    TestEngine t;
    loadInto(t, write("long.hex",
                      Old1 + "\r\n" + Old2 + "\r\n" + Old3 + "\r\n" + EndOfFileRecord + "\r\n"));
    const QByteArray new1 = dataRecord(0x0200, 4);
    loadInto(t, write("short.hex", new1 + "\r\n" + EndOfFileRecord + "\r\n"));
    t.engine.sendNextLine();
    t.engine.sendNextLine();
    QCOMPARE(t.port->writes.mid(1),
             (QList<QByteArray>{"BOOT" + new1 + "\r\n", "BOOT" + EndOfFileRecord + "\r\n",
                                "BOOT" + new1 + "\r\n"}));
}

void TestFirmwareLoader::linesGoOutAsTheyStandInTheFile()
{
    TestEngine t;
    const QByteArray lower = Old1.toLower() + " \t";
    const QByteArray lowerEnd = EndOfFileRecord.toLower();
    loadInto(t, write("odd.hex", lower + "\n" + lowerEnd + "\n\n"));
    QVERIFY(t.reports.shown.isEmpty());
    t.engine.sendNextLine();
    t.engine.sendNextLine();
    QCOMPARE(t.port->writes, (QList<QByteArray>{"BOOT" + lower + "\r\n", "BOOT" + lowerEnd + "\r\n",
                                                "BOOT" + lower + "\r\n"}));
}

QTEST_GUILESS_MAIN(TestFirmwareLoader)
#include "tst_firmwareloader.moc"
