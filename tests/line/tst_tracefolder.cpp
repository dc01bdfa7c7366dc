#include "line/trace.h"
#include "line/tracefolder.h"

#include <QDateTime>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

// A trace file for each board job: in the folder, and never in the place
// of a file that is there.
class TestTraceFolder : public QObject {
    Q_OBJECT
private slots:
    void aNameStaysInTheFolder();
    void aTakenNameIsNeverReplaced();
    void aFolderThatCannotBeMadeSaysWhy();
};

// UTC whatever the zone, and no character that could lead elsewhere.
void TestTraceFolder::aNameStaysInTheFolder()
{
    const auto started = QDateTime::fromString("2026-12-08T20:00:07.123+01:00", Qt::ISODateWithMs);
    QCOMPARE(traceFileName(started, "//dev/../serial/usb FT@1:0", "../x"),
             "20261208T190007.123Z_dev-..-serial-usb-FT-1-0_board-..-x.trace");
}

void TestTraceFolder::aFolderThatCannotBeMadeSaysWhy()
{
    QTemporaryDir folder;
    QFile file(folder.filePath("plain"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    for (const auto &[path, reason] :
         {std::pair{QString("/proc/nope"), QString("(no such file or directory)")},
          std::pair{folder.filePath("plain"), QString("(not a directory)")}}) {
        const QString error = prepareTraceFolder(path);
        QVERIFY2(error.contains(path + ": the folder cannot be made " + reason), qPrintable(error));
    }
}

// The same job's name twice, beside a file of someone else's and a link
// that leads elsewhere: each trace a new file, the others untouched.
void TestTraceFolder::aTakenNameIsNeverReplaced()
{
    QTemporaryDir folder;
    QVERIFY(prepareTraceFolder(folder.path()).isEmpty());
    const QString name = "T_COM3_board-1.trace";
    QFile other(folder.filePath(name));
    QVERIFY(other.open(QIODevice::WriteOnly));
    other.write("someone else's\n");
    other.close();
    QVERIFY(QFile::link(folder.filePath("elsewhere"), folder.filePath("T_COM3_board-1-3.trace")));
    QStringList opened;
    std::vector<std::unique_ptr<Trace>> traces;
    for (int job = 0; job < 2; ++job) {
        QString path;
        QString error;
        traces.push_back(openJobTrace(folder.path(), name, &path, &error));
        QVERIFY2(traces.back(), qPrintable(error));
        opened << QFileInfo(path).fileName();
    }
    QCOMPARE(opened, QStringList({"T_COM3_board-1-2.trace", "T_COM3_board-1-4.trace"}));
    QVERIFY(other.open(QIODevice::ReadOnly));
    QCOMPARE(other.readAll(), "someone else's\n");
    QVERIFY(!QFileInfo::exists(folder.filePath("elsewhere")));
}

QTEST_GUILESS_MAIN(TestTraceFolder)
#include "tst_tracefolder.moc"
