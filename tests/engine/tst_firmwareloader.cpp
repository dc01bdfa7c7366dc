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
        t.inside.probeTimer().setEnabled(false);
    }
    t.engine.loadFirmwareFile(file);
}

void TestFirmwareLoader::cancelShowsCancelAndChangesNothing()
{
    TestEngine t;
    t.inside.state.verifying = true;
    loadInto(t, QString());
    QCOMPARE(t.reports.shown.size(), 1);
    QCOMPARE(t.reports.shown[0].error, 0);
    QCOMPARE(t.reports.shown[0].text, QStringLiteral("Cancel"));
    QVERIFY(t.inside.state.verifying); // a verify pass under way goes on
    QVERIFY(!t.inside.state.downloadRequested);
    QCOMPARE(t.inside.state.lineCount, qint16(0));
    QVERIFY(t.port->writes.isEmpty());
}

void TestFirmwareLoader::loadStartsTheDownloadWithTheFirstLine()
{
    TestEngine t;
    QSignalSpy sendEnabled(&t.panel, &Panel::sendEnabledChanged);
    loadInto(t, write("three.hex", Old1 + "\r\n" + Old2 + "\r\n" + EndOfFileRecord + "\r\n"));
    QVERIFY(t.reports.shown.isEmpty());
    const EngineState &s = t.inside.state;
    QCOMPARE(s.lineCount, qint16(3));
    QCOMPARE(s.lineIndex, qint16(1));
    QVERIFY(s.downloading);
    QVERIFY(s.downloadRequested);
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
    QCOMPARE(t.inside.state.lineCount, qint16(9000));
    QCOMPARE(t.inside.state.lines[9000], EndOfFileRecord);
    QCOMPARE(t.panel.progressMaximum(), 9000);
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
    loadInto(t, write("good.hex", Old1 + "\r\n" + Old2 + "\r\n" + EndOfFileRecord + "\r\n"));
    t.engine.sendNextLine();
    t.inside.state.verifying = true; // as if a verify pass were under way
    t.port->writes.clear();

    loadInto(t, file);
    QCOMPARE(t.reports.shown.size(), 1);
    QCOMPARE(t.reports.shown[0].error, error);
    const EngineState &s = t.inside.state;
    QVERIFY(s.verifying);
    QCOMPARE(s.lineCount, qint16(3));
    QCOMPARE(s.lineIndex, qint16(2));
    QCOMPARE(s.lines[1], Old1);
    QCOMPARE(s.lines[3], EndOfFileRecord);
    QVERIFY(s.lines[4].isEmpty());
    QCOMPARE(t.panel.progressMaximum(), 3);
    QCOMPARE(t.panel.progressText(),
             QStringLiteral("DOWNLOAD")); // not "NO FILE": it goes on
    QVERIFY(t.port->writes.isEmpty());

    t.engine.sendNextLine();
    QCOMPARE(t.port->writes,
             QList<QByteArray>{"BOOT" + QByteArray(EndOfFileRecord).replace(':', '#') + "\r\n"});
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
    QCOMPARE(t.inside.state.lineCount, qint16(2));
    QCOMPARE(t.inside.state.lineIndex, qint16(1));
    QCOMPARE(t.panel.progressText(), QStringLiteral("DOWNLOAD"));
}

void TestFirmwareLoader::shorterFileLeavesOldEntriesUnsent()
{
    TestEngine t;
    loadInto(t, write("long.hex",
                      Old1 + "\r\n" + Old2 + "\r\n" + Old3 + "\r\n" + EndOfFileRecord + "\r\n"));
    const QByteArray new1 = dataRecord(0x0200, 4);
    loadInto(t, write("short.hex", new1 + "\r\n" + EndOfFileRecord + "\r\n"));
    QCOMPARE(t.inside.state.lines[3], Old3);
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
