#include "fakes/testwindow.h"

#include <QTemporaryDir>
#include <QTest>

class TestHexLoader : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cancelShowsCancelAndKeepsThePressFlags();
    void loadStartsTheDownloadWithTheFirstLine();
    void loadOf9000LinesFillsTheTable();
    void failedLoadChangesNothingLoaded_data();
    void failedLoadChangesNothingLoaded();
    void emptyFileStartsNothing();
    void shorterFileLeavesOldEntriesUnsent();

private:
    QString write(const QString &name, const QByteArray &content);
    QTemporaryDir m_dir;
};

void TestHexLoader::init()
{
    QVERIFY(m_dir.isValid());
}

QString TestHexLoader::write(const QString &name, const QByteArray &content)
{
    QFile file(m_dir.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        qFatal("cannot write %s", qPrintable(file.fileName()));
    return file.fileName();
}

// A window on an open plain port, where the operator picks `file`.
void loadInto(TestWindow &t, const QString &file)
{
    if (!t.port->isOpen()) {
        t.rtu()->setChecked(false);
        t.window.openPort();
        t.timer("Timer3")->setEnabled(false);
    }
    t.dialog->choice = file;
    t.button("Command3")->click();
}

void TestHexLoader::cancelShowsCancelAndKeepsThePressFlags()
{
    TestWindow t;
    t.window.state.VerifyMode = 1;
    loadInto(t, QString());
    QCOMPARE(t.dialog->filter, QStringLiteral("HEX files (*.hex)|*.hex"));
    QCOMPARE(t.messages->shown.size(), 1);
    QCOMPARE(t.messages->shown[0].critical, false);
    QCOMPARE(t.messages->shown[0].text, QStringLiteral("Cancel"));
    QCOMPARE(t.window.state.VerifyMode, qint16(0));
    QCOMPARE(t.window.state.DownloadRequested, qint16(1));
    QCOMPARE(t.window.state.LineCount, qint16(0));
    QVERIFY(t.port->writes.isEmpty());
}

void TestHexLoader::loadStartsTheDownloadWithTheFirstLine()
{
    TestWindow t;
    t.button("Command5")->setEnabled(false);
    loadInto(t, write("three.hex", ":01\r\n:02\r\n:00000001FF\r\n"));
    QVERIFY(t.messages->shown.isEmpty());
    const WindowState &s = t.window.state;
    QCOMPARE(s.LineCount, qint16(3));
    QCOMPARE(s.LineIndex, qint16(1));
    QCOMPARE(s.DownloadActive, qint16(1));
    QCOMPARE(s.DownloadRequested, qint16(1));
    QCOMPARE(t.progress()->maximum(), 3);
    QCOMPARE(t.progress()->position(), 1);
    QCOMPARE(t.progress()->text(), QStringLiteral("DOWNLOAD"));
    QVERIFY(t.button("Command5")->isEnabled());
    QCOMPARE(t.port->writes, QList<QByteArray>{"BOOT:01\r\n"});

    TestWindow one;
    loadInto(one, write("one.hex", ":00000001FF"));
    QCOMPARE(one.window.state.LineIndex, qint16(0)); // sent its only line and wrapped
}

void TestHexLoader::loadOf9000LinesFillsTheTable()
{
    QByteArray file;
    for (int line = 1; line <= 9000; ++line)
        file += ":" + QByteArray::number(line) + "\r\n";
    TestWindow t;
    loadInto(t, write("full.hex", file));
    QVERIFY(t.messages->shown.isEmpty());
    QCOMPARE(t.window.state.LineCount, qint16(9000));
    QCOMPARE(t.window.state.HexLines[9000], QByteArray(":9000"));
    QCOMPARE(t.progress()->maximum(), 9000);
}

void TestHexLoader::failedLoadChangesNothingLoaded_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("error");
    QByteArray tooMany;
    for (int line = 1; line <= 9001; ++line)
        tooMany += ":NEW\r\n";
    QTest::newRow("9001 lines") << write("9001.hex", tooMany) << 9;
    QTest::newRow("a line too long to send")
        << write("long.hex", ":NEW\r\n" + QByteArray(40000, 'A')) << 6;
    QTest::newRow("vanished") << m_dir.filePath("vanished.hex") << 53;
    QTest::newRow("a folder") << m_dir.path() << 75;
}

void TestHexLoader::failedLoadChangesNothingLoaded()
{
    QFETCH(QString, file);
    QFETCH(int, error);
    TestWindow t;
    loadInto(t, write("good.hex", ":OLD1\r\n:OLD2\r\n:OLD3\r\n"));
    t.window.sendNextLine();
    t.port->writes.clear();

    loadInto(t, file);
    QCOMPARE(t.messages->shown.size(), 1);
    QVERIFY(t.messages->shown[0].critical);
    QCOMPARE(t.messages->shown[0].title, "Error#" + QString::number(error));
    QCOMPARE(t.progress()->text(), QStringLiteral("NO FILE"));
    const WindowState &s = t.window.state;
    QCOMPARE(s.LineCount, qint16(3));
    QCOMPARE(s.LineIndex, qint16(2));
    QCOMPARE(s.HexLines[1], QByteArray(":OLD1"));
    QCOMPARE(s.HexLines[3], QByteArray(":OLD3"));
    QVERIFY(s.HexLines[4].isEmpty());
    QCOMPARE(t.progress()->maximum(), 3);
    QVERIFY(t.port->writes.isEmpty());

    // The loaded download goes on untouched.
    t.window.sendNextLine();
    QCOMPARE(t.port->writes, QList<QByteArray>{"BOOT:OLD3\r\n"});
}

void TestHexLoader::emptyFileStartsNothing()
{
    TestWindow t;
    loadInto(t, write("good.hex", ":OLD1\r\n:OLD2\r\n"));
    t.port->writes.clear();
    loadInto(t, write("empty.hex", ""));
    QCOMPARE(t.messages->shown.size(), 1);
    QVERIFY(t.messages->shown[0].text.contains("empty"));
    QVERIFY(t.port->writes.isEmpty());
    QCOMPARE(t.window.state.LineCount, qint16(2));
    QCOMPARE(t.window.state.LineIndex, qint16(1));
    QCOMPARE(t.progress()->text(), QStringLiteral("DOWNLOAD"));
}

void TestHexLoader::shorterFileLeavesOldEntriesUnsent()
{
    TestWindow t;
    loadInto(t, write("long.hex", ":A1\r\n:A2\r\n:A3\r\n"));
    loadInto(t, write("short.hex", ":B1\r\n:B2\r\n"));
    QCOMPARE(t.window.state.HexLines[3], QByteArray(":A3"));
    t.window.sendNextLine();
    t.window.sendNextLine();
    QCOMPARE(t.port->writes.mid(1),
             (QList<QByteArray>{"BOOT:B1\r\n", "BOOT:B2\r\n", "BOOT:B1\r\n"}));
}

QTEST_MAIN(TestHexLoader)
#include "tst_hexloader.moc"
