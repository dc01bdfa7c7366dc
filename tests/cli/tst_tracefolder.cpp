#include "cli/trace.h"
#include "cli/tracefolder.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

// A trace file for each board job: names that say whose trace it is, stay
// in the folder, and never take the place of a file that is there.
class TestTraceFolder : public QObject {
    Q_OBJECT
private slots:
    void namesSayWhenWhereAndWhich_data();
    void namesSayWhenWhereAndWhich();
    void aTakenNameIsNeverReplaced();
    void aFolderThatCannotBeUsedIsRefused_data();
    void aFolderThatCannotBeUsedIsRefused();

private:
    QTemporaryDir m_dir;
};

namespace {

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(cannot be read)");
}

} // namespace

void TestTraceFolder::namesSayWhenWhereAndWhich_data()
{
    const QDateTime utc =
        QDateTime::fromString("2026-12-08T19:00:07.123Z", Qt::ISODateWithMs).toUTC();
    QTest::addColumn<QDateTime>("started");
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("board");
    QTest::addColumn<QString>("name");
    QTest::newRow("a COM port") << utc << "COM21"
                                << "1"
                                << "20261208T190007.123Z_COM21_board-1.trace";
    QTest::newRow("a device path, scanning") << utc << "/dev/ttyUSB0"
                                             << "scan"
                                             << "20261208T190007.123Z_dev-ttyUSB0_board-scan.trace";
    QTest::newRow("a local time is written as UTC") << utc.toTimeZone(QTimeZone(3600)) << "COM3"
                                                    << "5"
                                                    << "20261208T190007.123Z_COM3_board-5.trace";
    QTest::newRow("characters a file name should not hold")
        << utc << "/dev/serial/by-id/usb-FTDI FT232R@1:0"
        << "5"
        << "20261208T190007.123Z_dev-serial-by-id-usb-FTDI-FT232R-1-0_board-5.trace";
    QTest::newRow("a name that would climb out of the folder")
        << utc << "//../../etc/passwd"
        << "../x"
        << "20261208T190007.123Z_..-..-etc-passwd_board-..-x.trace";
}

void TestTraceFolder::namesSayWhenWhereAndWhich()
{
    QFETCH(QDateTime, started);
    QFETCH(QString, port);
    QFETCH(QString, board);
    QFETCH(QString, name);
    QCOMPARE(traceFileName(started, port, board), name);
}

// The same job name three times, beside a file of someone else's and a
// link that leads elsewhere: each trace a new file, the others untouched.
void TestTraceFolder::aTakenNameIsNeverReplaced()
{
    const QString folder = m_dir.filePath("taken");
    QVERIFY(prepareTraceFolder(folder).isEmpty());
    const QString name = "20261208T190007.123Z_COM3_board-1.trace";
    QFile other(folder + "/" + name);
    QVERIFY(other.open(QIODevice::WriteOnly));
    other.write("someone else's\n");
    other.close();
    QVERIFY(QFile::link(m_dir.filePath("elsewhere"),
                        folder + "/20261208T190007.123Z_COM3_board-1-3.trace"));

    QStringList opened;
    std::vector<std::unique_ptr<Trace>> traces;
    for (int job = 0; job < 2; ++job) {
        QString path;
        QString error;
        traces.push_back(openJobTrace(folder, name, &path, &error));
        QVERIFY2(traces.back(), qPrintable(error));
        opened << QFileInfo(path).fileName();
        QVERIFY(QFileInfo(path).isAbsolute());
        QVERIFY(contentOf(path).startsWith(Trace::firstLineMark().toUtf8()));
    }
    QCOMPARE(opened, QStringList({"20261208T190007.123Z_COM3_board-1-2.trace",
                                  "20261208T190007.123Z_COM3_board-1-4.trace"}));
    QCOMPARE(contentOf(other.fileName()), QByteArray("someone else's\n"));
    QVERIFY(!QFileInfo::exists(m_dir.filePath("elsewhere")));
}

void TestTraceFolder::aFolderThatCannotBeUsedIsRefused_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("says");
    QTest::newRow("a file in its place") << "file"
                                         << "cannot be made";
    QTest::newRow("a folder inside a file") << "file/traces"
                                            << "cannot be made";
}

void TestTraceFolder::aFolderThatCannotBeUsedIsRefused()
{
    QFETCH(QString, folder);
    QFETCH(QString, says);
    QFile file(m_dir.filePath("file"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    const QString error = prepareTraceFolder(m_dir.filePath(folder));
    QVERIFY2(error.contains(says), qPrintable(error));
    QVERIFY(prepareTraceFolder(m_dir.filePath("made/when/missing")).isEmpty());
    QVERIFY(QFileInfo(m_dir.filePath("made/when/missing")).isDir());
}

QTEST_GUILESS_MAIN(TestTraceFolder)
#include "tst_tracefolder.moc"
