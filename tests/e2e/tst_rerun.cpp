#include "e2e/clirun.h"
#include "e2e/examplefiles.h"
#include "e2e/simulatedboard.h"
#include "shared/exitcode.h"

#include <QCryptographicHash>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// A run's failed boards flashed again by its id, and a file pinned by its
// hash: bootline-cli against bootline-sim, with a store of the test's own.
class TestRerun : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void theFailedBoardsGoAgain();
    void aPinnedFileIsCheckedBeforeAnyPort_data();
    void aPinnedFileIsCheckedBeforeAnyPort();

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QString store() const { return path("history.sqlite"); }
    QTemporaryDir m_dir;
};

const QString blink = exampleFile("blink.hex");

QByteArray sha256Of(const QString &file)
{
    QFile read(file);
    return read.open(QIODevice::ReadOnly)
               ? QCryptographicHash::hash(read.readAll(), QCryptographicHash::Sha256).toHex()
               : QByteArray();
}

void TestRerun::initTestCase()
{
    QVERIFY(m_dir.isValid());
    qputenv("XDG_CONFIG_HOME", path("config").toLocal8Bit());
    qputenv("XDG_DATA_HOME", path("data").toLocal8Bit());
}

// The board events of a --json run, each as "BOARD RESULT attempt N".
QStringList boardEvents(const Cli &cli, QString *runId = nullptr)
{
    QStringList boards;
    for (const QJsonObject &event : jsonLines(cli.out)) {
        if (event["event"].toString() != QStringLiteral("board"))
            continue;
        boards << QStringLiteral("%1 %2 attempt %3")
                      .arg(event["board"].toString(), event["result"].toString())
                      .arg(event["attempt"].toInt());
        if (runId)
            *runId = event["run"].toString();
    }
    return boards;
}

// Four boards, two fail. The run's file is edited since: refused, with both
// hashes and before any port, unless --file-changed says so; then those two
// boards alone get it, under the same run, as their second attempt; a second
// rerun finds nothing left to do.
void TestRerun::theFailedBoardsGoAgain()
{
    const QString firmware = path("firmware.hex");
    QVERIFY(QFile::copy(blink, firmware));
    QString runId;
    {
        SimulatedBoard failing({"--address", "1-4", "--miswrite-at", "2,4", "--quiet"});
        QVERIFY(failing.isReady());
        const Cli first({"-a", "1-4", "--pace", "reply", "--json", "--log", store(), firmware});
        QVERIFY2(first.exitCode == 5, qPrintable(first.all()));
        QCOMPARE(boardEvents(first, &runId),
                 (QStringList{"1 done attempt 1", "2 failed attempt 1", "3 done attempt 1",
                              "4 failed attempt 1"}));
    }
    QFile edited(firmware);
    QVERIFY(edited.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QVERIFY(edited.write(":020000040000FA\r\n:0400000001020304F2\r\n:00000001FF\r\n") > 0);
    edited.close();
    const Cli refused({"--rerun-failed", runId, "--log", store()}); // no board is there now
    QCOMPARE(refused.exitCode, int(FileRefused));
    for (const QByteArray &hash : {sha256Of(blink), sha256Of(firmware)})
        QVERIFY2(refused.err.contains(QString::fromLatin1(hash)), qPrintable(refused.err));

    SimulatedBoard passing({"--address", "1-4", "--quiet"});
    QVERIFY(passing.isReady());
    const Cli rerun(
        {"--rerun-failed", runId, "--file-changed", "--pace", "reply", "--json", "--log", store()});
    QVERIFY2(rerun.exitCode == 0, qPrintable(rerun.all()));
    QString rerunId;
    QCOMPARE(boardEvents(rerun, &rerunId), (QStringList{"2 done attempt 2", "4 done attempt 2"}));
    QCOMPARE(rerunId, runId);
    const Cli again({"--rerun-failed", runId, "--log", store()});
    QVERIFY2(again.exitCode == 0 && again.out.contains("is done (4): nothing to run again"),
             qPrintable(again.all()));
    QVERIFY(passing.stop());
    for (const char *summary : {"address 1: lines received 0,", "address 2: lines received 3,",
                                "address 3: lines received 0,", "address 4: lines received 3,"})
        QVERIFY2(passing.output().contains(QLatin1String(summary)), qPrintable(passing.output()));

    // Every try is in the store under the one run, each with the file it got.
    QStringList tries;
    for (const QJsonObject &record : jsonLines(Cli({"--history", "--json", "--log", store()}).out))
        tries << QStringLiteral("%1#%2 %3")
                     .arg(record["board"].toString())
                     .arg(record["attempt"].toInt())
                     .arg(record["sha256"].toString().left(6));
    const QString was = QString::fromLatin1(sha256Of(blink).left(6));
    const QString now = QString::fromLatin1(sha256Of(firmware).left(6));
    QCOMPARE(tries, (QStringList{"4#2 " + now, "2#2 " + now, "4#1 " + was, "3#1 " + was,
                                 "2#1 " + was, "1#1 " + was}));

    const Cli unknown({"--rerun-failed", "no-such-run", "--log", store()});
    QVERIFY2(unknown.exitCode == 1 && unknown.err.contains("no record of run no-such-run in"),
             qPrintable(unknown.err));
}

void TestRerun::aPinnedFileIsCheckedBeforeAnyPort_data()
{
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("says");
    const QString right = QString::fromLatin1(sha256Of(blink));
    const QString wrong = QString(64, u'0');
    // COM99 leads nowhere: a file the pin lets through fails at the port.
    QTest::newRow("the right hash goes on to the port")
        << QByteArray() << QStringList{"--expect-sha256", right} << 3 << "COM99";
    QTest::newRow("another hash: refused first")
        << QByteArray() << QStringList{"--expect-sha256", wrong} << 2
        << QStringLiteral("has SHA-256 %1, not the %2 that --expect-sha256 asks for")
               .arg(right, wrong);
    QTest::newRow("another hash in the settings, named by its file")
        << "expect-sha256=" + wrong.toLatin1() << QStringList{} << 2
        << QStringLiteral("that expect-sha256 in %1 asks for").arg("SETTINGS");
    QTest::newRow("the command line wins") << "expect-sha256=" + wrong.toLatin1()
                                           << QStringList{"--expect-sha256", right} << 3 << "COM99";
    QTest::newRow("not a hash") << QByteArray() << QStringList{"--expect-sha256", "a2c7"} << 1
                                << "--expect-sha256 takes a SHA-256 of 64 hex digits";
}

void TestRerun::aPinnedFileIsCheckedBeforeAnyPort()
{
    QFETCH(QByteArray, settings);
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, says);
    const QString settingsFile = path("pin.conf");
    QFile file(settingsFile);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(settings), settings.size());
    file.close();
    says.replace(QStringLiteral("SETTINGS"), settingsFile);
    const Cli cli(
        QStringList{"-p", "COM99", "--log", "none", "--json", "--config", settingsFile, blink} +
        arguments);
    QVERIFY2(cli.exitCode == exitCode, qPrintable(cli.all()));
    QVERIFY2(cli.err.contains(says), qPrintable(cli.err));
    const QJsonObject done = jsonLines(cli.out).value(0);
    if (exitCode == 2)
        QVERIFY2(done["event"].toString() == "done" && done["error"].toString().contains(says),
                 qPrintable(cli.out));
}

QTEST_GUILESS_MAIN(TestRerun)
#include "tst_rerun.moc"
