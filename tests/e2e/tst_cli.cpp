#include "e2e/clirun.h"
#include "e2e/openwindow.h"
#include "e2e/simulatedboard.h"
#include "shared/exitcode.h"
#include "support/hexrecords.h"
#include "support/testpaths.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

// bootline-cli as a user runs it, against bootline-sim on a pty.
class TestCli : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void downloadAndVerify_data();
    void downloadAndVerify();
    void otherFormatsDownloadAsTheirRecords_data();
    void otherFormatsDownloadAsTheirRecords();
    void busOfBoards();
    void severalPortsAtOnce();
    void everyBoardIsRecorded();
    void aRecordTheStoreCannotTakeIsKept();
    void ctrlCWhileARecordIsKeptStopsTheRun();
    void exitCodes_data();
    void exitCodes();
    void retriedLineIsTheSameBytesAndTheJobGoesOn();
    void traceShowsEveryFrameAndChunk();
    void jsonEvents();
    void jsonRunThatEndsEarlySaysDone_data();
    void jsonRunThatEndsEarlySaysDone();
    void sameBytesAsTheWindow();
    void replyPaceSendsTheSameBytesSooner();
    void queryNewAddressAndInstall();
    void listsThePorts();
    void ctrlCClosesThePort_data();
    void ctrlCClosesThePort();
    void dryRunSendsOnlyTheProbe();
    void infoOfTheExampleFirmware_data();
    void infoOfTheExampleFirmware();
    void infoOfAWrittenFile_data();
    void infoOfAWrittenFile();

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QString write(const QString &name, const QByteArray &content);
    QTemporaryDir m_dir;
};

const QString blink = exampleFile("blink.hex");

void TestCli::initTestCase()
{
    QVERIFY(m_dir.isValid());
    qputenv("XDG_CONFIG_HOME", path("config").toLocal8Bit());
    qputenv("XDG_DATA_HOME", path("data").toLocal8Bit());
}

QString TestCli::write(const QString &name, const QByteArray &content)
{
    QFile file(path(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        qFatal("cannot write %s", qPrintable(file.fileName()));
    return file.fileName();
}

void TestCli::downloadAndVerify_data()
{
    QTest::addColumn<QStringList>("board");
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("RTU, scanning") << QStringList{"--address", "4"} << QStringList{};
    // Its "DOWNLOAD" ends in a checksum whose high byte is 0.
    QTest::newRow("RTU at address 89") << QStringList{"--address", "89"} << QStringList{"-a", "89"};
    QTest::newRow("plain") << QStringList{"--plain"} << QStringList{"--plain"};
    QTest::newRow("RTU on a device path, noisy")
        << QStringList{"--garbage", "random:20", "--split", "random:20", "--trailing", "random:20"}
        << QStringList{"-a", "1", "-p", "DEVICE"};
}

void TestCli::downloadAndVerify()
{
    QFETCH(QStringList, board);
    QFETCH(QStringList, arguments);
    SimulatedBoard sim(board + QStringList{"--quiet", "--exit-on-mismatch"});
    QVERIFY(sim.isReady());
    const QString device = QFile::symLinkTarget(path("config/bootline/ports/COM3"));
    arguments.replaceInStrings(QStringLiteral("DEVICE"), device);
    const Cli cli(arguments + QStringList{blink});
    QVERIFY2(cli.exitCode == 0, qPrintable(cli.all()));
    QVERIFY2(cli.out.contains(QRegularExpression("board \\d+: done \\(86 lines sent")),
             qPrintable(cli.out));
    QVERIFY(!cli.out.contains(u'\r')); // not a terminal: no redrawn line
    // Low latency is asked for by default; the pty's refusal goes unsaid.
    QVERIFY2(!cli.all().contains("latency", Qt::CaseInsensitive), qPrintable(cli.all()));
    QVERIFY(cli.out.contains("verify 100% (43/43)"));
    QVERIFY(sim.stop());
    QVERIFY(sim.output().contains("lines received 43, lines verified 43, mismatches 0"));
}

void TestCli::otherFormatsDownloadAsTheirRecords_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("lines");
    QTest::newRow("S-record") << QStringList{exampleFile("firmware.srec")} << 1204;
    QTest::newRow("binary at its base")
        << QStringList{"--base", "0x0800C000", exampleFile("firmware.bin")} << 1203;
}

// The board gets the converted records, and each one is verified.
void TestCli::otherFormatsDownloadAsTheirRecords()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, lines);
    SimulatedBoard sim({"--address", "1", "--quiet", "--exit-on-mismatch"});
    QVERIFY(sim.isReady());
    const Cli cli(QStringList{"-a", "1", "--pace", "reply"} + arguments);
    QVERIFY2(cli.exitCode == 0, qPrintable(cli.all()));
    QVERIFY(sim.stop());
    QVERIFY2(sim.output().contains(
                 QStringLiteral("lines received %1, lines verified %1, mismatches 0").arg(lines)),
             qPrintable(sim.output()));
}

void TestCli::busOfBoards()
{
    SimulatedBoard sim({"--address", "1,2,3", "--quiet"});
    QVERIFY(sim.isReady());
    const Cli cli({"-a", "1-3", blink});
    QVERIFY2(cli.exitCode == 0, qPrintable(cli.all()));
    for (const char *board :
         {"board 1: done", "board 2: done", "board 3: done", "3 boards: 3 done, 0 failed"})
        QVERIFY2(cli.out.contains(board), qPrintable(cli.out));
    QVERIFY(sim.stop());
    for (int address = 1; address <= 3; ++address)
        QVERIFY(sim.output().contains(
            QStringLiteral("address %1: lines received 43, lines verified 43, mismatches 0")
                .arg(address)));
}

// Each port as it would be alone, all at once: its bytes, its boards in
// turn, its lines kept together; the exit code is the first failure in port
// order, not in time.
void TestCli::severalPortsAtOnce()
{
    const QString together = path("together.bytes");
    const QString alone = path("alone.bytes");
    {
        SimulatedBoard sim({"--address", "1,2", "--quiet", "--record", alone}, 3);
        QVERIFY(sim.isReady());
        QCOMPARE(Cli({"-p", "COM3", "-a", "1-2", "--pace", "reply", blink}).exitCode, 0);
        QVERIFY(sim.stop());
    }
    SimulatedBoard first({"--address", "1,2", "--quiet", "--record", together}, 3);
    SimulatedBoard second({"--address", "1", "--quiet"}, 4);
    QVERIFY(first.isReady() && second.isReady());
    const QStringList arguments{"-p", "COM3@1-2,COM4@1,5,COM9", "-a", "1", "--probe-attempts", "2",
                                blink};
    const Cli cli(arguments);
    QCOMPARE(cli.exitCode, int(NoBoard)); // COM4's missing board, though COM9 failed first
    QStringList seen;                     // each board's lines together, never split by another's
    for (const QString &line : cli.out.split(u'\n', Qt::SkipEmptyParts)) {
        const QRegularExpressionMatch match =
            QRegularExpression("^(COM\\d board \\d+): ").match(line);
        if (!match.hasMatch())
            break; // the summary
        if (seen.isEmpty() || seen.last() != match.captured(1)) {
            QVERIFY2(!seen.contains(match.captured(1)), qPrintable(cli.out));
            seen << match.captured(1);
        }
    }
    QCOMPARE(seen.size(), 5);
    for (const char *expected :
         {"COM3 board 1: done", "COM3 board 2: done", "COM4 board 1: done",
          "COM4 board 5: failed (exit 4)", "COM9 board 1: failed (exit 3)",
          "5 boards: 3 done, 2 failed (exit 4)", "  board 5 on COM4: no board answered",
          "  board 1 on COM9: cannot open the port COM9"})
        QVERIFY2(cli.out.contains(expected), qPrintable(cli.out));

    const Cli json(QStringList{"--json"} + arguments);
    QCOMPARE(json.exitCode, int(NoBoard));
    const QJsonObject done =
        QJsonDocument::fromJson(json.out.trimmed().split(u'\n').last().toUtf8()).object();
    QCOMPARE(done["port"].toString(), QStringLiteral("COM3,COM4,COM9"));
    QCOMPARE(done["boards"].toInt(), 5);
    QStringList ports;
    for (const QJsonValue &port : done["ports"].toArray())
        ports << QStringLiteral("%1 %2 %3")
                     .arg(port["port"].toString())
                     .arg(port["boards"].toInt())
                     .arg(port["exit"].toInt());
    QCOMPARE(ports, QStringList({"COM3 2 0", "COM4 2 4", "COM9 1 3"}));
    QVERIFY(first.stop() && second.stop());
    QFile aloneBytes(alone);
    QFile togetherBytes(together);
    QVERIFY(aloneBytes.open(QIODevice::ReadOnly) && togetherBytes.open(QIODevice::ReadOnly));
    const QByteArray once = aloneBytes.readAll();
    QVERIFY(once.size() > 2 * 86 * 20);
    QCOMPARE(togetherBytes.readAll(), once + once); // the plain run and the JSON one
}

// Each board's record in the store --log names, read back with --history.
void TestCli::everyBoardIsRecorded()
{
    SimulatedBoard sim({"--address", "1", "--quiet"});
    QVERIFY(sim.isReady());
    const QString store = path("records/history.sqlite");
    const Cli run({"-a", "1,2", "--probe-attempts", "1", "--pace", "reply", "--log", store, blink});
    QCOMPARE(run.exitCode, int(NoBoard));
    const Cli history({"--history", "--json", "--log", store});
    QCOMPARE(history.exitCode, 0);
    const QList<QJsonObject> records = jsonLines(history.out);
    QCOMPARE(records.size(), 2);
    QCOMPARE(records[0]["board"].toString(), QStringLiteral("2")); // newest first
    QCOMPARE(records[0]["exit"].toInt(), 4);
    QVERIFY(records[0]["error"].toString().contains("no board answered"));
    QCOMPARE(records[1]["result"].toString(), QStringLiteral("done"));
    QCOMPARE(records[1]["version"].toString(), QStringLiteral("VER=1.0 SIM"));
    QCOMPARE(records[1]["port"].toString(), QStringLiteral("COM3"));
    QCOMPARE(records[1]["face"].toString(), QStringLiteral("cli"));
    QCOMPARE(records[1]["lines"].toInt(), 86);
    QCOMPARE(records[1]["sha256"].toString().size(), 64);

    QCOMPARE(jsonLines(Cli({"--history", "--json", "--failed", "--log", store}).out).size(), 1);
    QCOMPARE(jsonLines(Cli({"--history", "--json", "-p", "COM4", "--log", store}).out).size(), 0);
    const QString tomorrow = QDate::currentDate().addDays(2).toString(Qt::ISODate);
    QCOMPARE(Cli({"--history", "--since", tomorrow, "--log", store}).out, QString());
    const Cli lines({"--history", "--log", store});
    QVERIFY2(lines.out.contains(QRegularExpression("done +COM3 +board 1 +blink.hex")),
             qPrintable(lines.out));
    const Cli missing({"--history", "--log", path("records/none-yet.sqlite")});
    QCOMPARE(missing.exitCode, int(NotRecorded)); // not an empty history: a store that is not there
    QVERIFY2(missing.err.contains(path("records/none-yet.sqlite")), qPrintable(missing.err));
    QVERIFY(!QFile::exists(path("records/none-yet.sqlite")));
}

// A job done whose record the store cannot take: kept beside the store, said,
// and exit code 7.
void TestCli::aRecordTheStoreCannotTakeIsKept()
{
    SimulatedBoard sim({"--quiet"});
    QVERIFY(sim.isReady());
    QVERIFY(QDir().mkpath(path("blocked/history.sqlite"))); // a folder where the file would be
    const Cli cli(
        {"--json", "-a", "1", "--pace", "reply", "--log", path("blocked/history.sqlite"), blink});
    QCOMPARE(cli.exitCode, int(NotRecorded));
    QVERIFY2(cli.err.contains("not recorded in the store"), qPrintable(cli.err));
    const QList<QJsonObject> events = jsonLines(cli.out);
    const QJsonObject board = events[events.size() - 2];
    QCOMPARE(board["result"].toString(), QStringLiteral("done"));
    QCOMPARE(board["recorded"].toBool(), false);
    QVERIFY(board["record_error"].toString().contains("unrecorded.jsonl"));
    QCOMPARE(events.last()["exit"].toInt(), 7);
    QFile kept(path("blocked/unrecorded.jsonl"));
    QVERIFY(kept.open(QIODevice::ReadOnly));
    const QList<QJsonObject> records = jsonLines(QString::fromUtf8(kept.readAll()));
    QCOMPARE(records.size(), 3); // the board in the run's plan, the job's start, then its end
    QCOMPARE(records[0]["result"].toString(), QStringLiteral("not tried"));
    QCOMPARE(records[1]["result"].toString(), QStringLiteral("started"));
    QCOMPARE(records[2]["result"].toString(), QStringLiteral("done"));
    QCOMPARE(records[2]["board"].toString(), QStringLiteral("1"));
    for (const QJsonObject &record : records)
        QCOMPARE(record["job_id"].toString(), records[0]["job_id"].toString());
}

// Ctrl-C while the first board's record waits for a busy store: the next
// board had begun at once and is stopped, the last is not tried, and each of
// the three has its record once the store frees up.
void TestCli::ctrlCWhileARecordIsKeptStopsTheRun()
{
    SimulatedBoard sim({"--address", "1,2,3", "--quiet"});
    QVERIFY(sim.isReady());
    const QString store = path("busy/history.sqlite");
    QVERIFY(QDir().mkpath(path("busy")));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "holder");
        db.setDatabaseName(store);
        QVERIFY(db.open());
        QSqlQuery hold(db);
        QVERIFY(hold.exec("BEGIN EXCLUSIVE"));
        QProcess cli;
        cli.start(TestPaths::cli(),
                  {"--json", "-a", "1-3", "--pace", "reply", "--log", store, blink});
        QVERIFY(QTest::qWaitFor([&] { return sim.output().contains("image verified"); }, 10000));
        ::kill(pid_t(cli.processId()), SIGINT);
        QTest::qWait(200); // the signal is in before the store frees up
        QVERIFY(hold.exec("ROLLBACK"));
        QVERIFY(cli.waitForFinished(15000));
        QCOMPARE(cli.exitCode(), int(Interrupted));
        QStringList results;
        for (const QJsonObject &event : jsonLines(QString::fromUtf8(cli.readAllStandardOutput()))) {
            if (event["event"] == "board")
                results << event["board"].toString() + u' ' + event["result"].toString();
        }
        QCOMPARE(results.size(), 3);
        QVERIFY2(results.contains("1 done") && results.contains("3 not tried"),
                 qPrintable(results.join(u',')));
    }
    QSqlDatabase::removeDatabase("holder");
    QVERIFY(sim.stop());
    QVERIFY(sim.output().count("image verified") <= 2);
    QCOMPARE(jsonLines(Cli({"--history", "--json", "--log", store}).out).size(), 3);
}

void TestCli::exitCodes_data()
{
    QTest::addColumn<QStringList>("board");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("says");
    const QString nul = write("nul.hex", QByteArray(64, '\0'));
    // A record the host takes (good syntax) and the board does not (a type it does not know).
    const QString unknownType =
        write("type6.hex", ":0100000041BE\r\n:0100000600F9\r\n:00000001FF\r\n");
    QTest::newRow("bad usage") << QStringList{} << QStringList{"--fast", blink} << 1 << "fast";
    QTest::newRow("file refused") << QStringList{} << QStringList{nul} << 2 << "NUL byte";
    QTest::newRow("no such port") << QStringList{} << QStringList{"-p", "/dev/no-such-port", blink}
                                  << 3 << "cannot open the port /dev/no-such-port";
    QTest::newRow("port lost") << QStringList{"--exit-after-lines", "10"}
                               << QStringList{"-a", "1", blink} << 3 << "was lost";
    QTest::newRow("no such port, a bus of boards")
        << QStringList{} << QStringList{"-p", "/dev/no-such-port", "-a", "1-4", blink} << 3
        << "cannot open the port /dev/no-such-port";
    // A pty has neither the RS-485 mode nor modem lines: said, and the port not used.
    QTest::newRow("RS-485 on a pty")
        << QStringList{} << QStringList{"-a", "1", "--rs485", blink} << 3
        << "has no RS-485 mode: its driver refused it (Inappropriate ioctl for device)";
    QTest::newRow("a reset pulse on a pty")
        << QStringList{} << QStringList{"-a", "1", "--before", "reset", blink} << 3
        << "cannot drive its DTR line: its driver refused it (Inappropriate ioctl for device)";
    QTest::newRow("a reset pulse after the job, on a pty: found out before it")
        << QStringList{} << QStringList{"-a", "1", "--after", "reset", blink} << 3
        << "cannot drive its modem lines: its driver refused it";
    QTest::newRow("no board") << QStringList{}
                              << QStringList{"-a", "5", "--probe-attempts", "3", blink} << 4
                              << "no board answered the probe at address 5 (3 tries)";
    QTest::newRow("the board refuses a line")
        << QStringList{} << QStringList{"-a", "1", unknownType} << 5 << "\"FORMAT\"";
    QTest::newRow("dry run, with install")
        << QStringList{} << QStringList{"--dry-run", "-a", "1", "--install", blink} << 1
        << "leave out --install";
    QTest::newRow("dry run, file refused")
        << QStringList{} << QStringList{"--dry-run", "-a", "1", nul} << 2 << "NUL byte";
    QTest::newRow("dry run, no board")
        << QStringList{} << QStringList{"--dry-run", "-a", "5", "--probe-attempts", "2", blink} << 4
        << "no board answered the probe at address 5";
    QTest::newRow("no reply") << QStringList{"--silent", "5"}
                              << QStringList{"-a", "1", "--reply-timeout", "300", blink} << 6
                              << "no reply to line 4 of 43 within 300 ms";
    // Reply 1 answers the probe, 2 to 44 the lines, 45 on the verify lines.
    QTest::newRow("a stray OK read with the board's ERROR")
        << QStringList{"--miswrite", "3", "--stray", "47"} << QStringList{"-a", "1", blink} << 5
        << "the board refused verify line 3 of 43";
    QTest::newRow("a stray OK in front of DOWNLOAD, with a resend at hand")
        << QStringList{"--stray", "44"} << QStringList{"-a", "1", "--retries", "1", blink} << 8
        << "line 43 of 43, the last, got two answers, OK and then DOWNLOAD; the image is not "
           "verified.";
    QTest::newRow("two boards at one address, plain")
        << QStringList{"--plain", "--twin", "5"} << QStringList{"--plain", blink} << 8
        << "two boards may answer on the line, or the line echoes";
    QTest::newRow("the board restarts")
        << QStringList{"--restart-at-line", "12"} << QStringList{"-a", "1", blink} << 9
        << "board 1 restarted during line 12 (it answered VER=)";
    QTest::newRow("the answer to the new address lost")
        << QStringList{"--silent", "2"}
        << QStringList{"-a", "1", "--set-address", "10", "--reply-timeout", "300"} << 6
        << "the board may answer at address 10 already; check with bootline-cli -p COM3 -a 10 "
           "--query.";
}

void TestCli::exitCodes()
{
    QFETCH(QStringList, board);
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, says);
    SimulatedBoard sim(board + QStringList{"--quiet"});
    QVERIFY(sim.isReady());
    const Cli cli(arguments, 40000);
    QVERIFY2(cli.exitCode == exitCode, qPrintable(cli.all()));
    QVERIFY2(cli.err.count(says) == 1, qPrintable(cli.err)); // said once, however many boards
    if (arguments.contains("1-4")) { // the summary names every failed board, where and why
        QVERIFY2(cli.out.contains("4 boards: 0 done, 1 failed, 3 not tried (exit 3)"),
                 qPrintable(cli.out));
        QVERIFY2(cli.out.contains("  board 4 on /dev/no-such-port: not tried: the port "
                                  "/dev/no-such-port could not be opened"),
                 qPrintable(cli.out));
    }
}

void TestCli::retriedLineIsTheSameBytesAndTheJobGoesOn()
{
    SimulatedBoard sim({"--silent", "5", "--quiet"});
    QVERIFY(sim.isReady());
    const Cli cli({"-a", "1", "--reply-timeout", "300", "--retries", "1", "--trace",
                   path("retry.trace"), blink});
    QVERIFY2(cli.exitCode == 0, qPrintable(cli.all()));
    QVERIFY(cli.err.contains("no reply to line 4: sent again (1)"));
    QVERIFY(sim.stop());
    QVERIFY(sim.output().contains("mismatches 0"));
    QVERIFY(sim.output().contains("resends 1"));
    // Line 4 went out twice, the same bytes both times.
    QFile trace(path("retry.trace"));
    QVERIFY(trace.open(QIODevice::ReadOnly));
    QStringList sent;
    for (const QString &line : QString::fromUtf8(trace.readAll()).split(u'\n')) {
        if (line.contains(" > "))
            sent << line.section(u' ', 2, -1, QString::SectionSkipEmpty);
    }
    QCOMPARE(sent[4], sent[5]); // the probe, lines 1 to 4, then line 4 again
    QVERIFY(sent[4] != sent[3]);
}

void TestCli::traceShowsEveryFrameAndChunk()
{
    SimulatedBoard sim({"--quiet"});
    QVERIFY(sim.isReady());
    const Cli cli({"-a", "1", "--query", "--trace", "-"});
    QVERIFY2(cli.exitCode == 0, qPrintable(cli.all()));
    const QStringList lines = cli.err.split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2);
    const QRegularExpression form("^ *\\d+ ([<>]) ((?:[0-9A-F]{2} )*[0-9A-F]{2})  (.*)$");
    const QRegularExpressionMatch out = form.match(lines[0]);
    QVERIFY2(out.hasMatch(), qPrintable(lines[0]));
    QCOMPARE(out.captured(1), QStringLiteral(">"));
    QCOMPARE(out.captured(2), QStringLiteral("01 42 4F 4F 54 69 0D 0A FC 89"));
    QCOMPARE(out.captured(3), QStringLiteral("\\x01BOOTi\\r\\n\\xFC\\x89"));
    const QRegularExpressionMatch in = form.match(lines[1]);
    QVERIFY2(in.hasMatch(), qPrintable(lines[1]));
    QCOMPARE(in.captured(1), QStringLiteral("<"));
    QVERIFY(in.captured(3).contains("VER=1.0 SIM"));
}

void TestCli::jsonEvents()
{
    SimulatedBoard sim({"--quiet"});
    QVERIFY(sim.isReady());
    const Cli cli({"--json", "-a", "1", blink});
    QVERIFY2(cli.exitCode == 0, qPrintable(cli.all()));
    QList<QJsonObject> events;
    for (const QString &line : cli.out.split(u'\n', Qt::SkipEmptyParts)) {
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(line.toUtf8(), &error);
        QVERIFY2(document.isObject(), qPrintable(line));
        events << document.object();
    }
    QCOMPARE(events.first()["event"].toString(), QStringLiteral("connected"));
    QCOMPARE(events.first()["version"].toString(), QStringLiteral("VER=1.0 SIM"));
    for (const QJsonObject &event : events) {
        QCOMPARE(event["port"].toString(), QStringLiteral("COM3"));
        if (event["event"] != "done")
            QCOMPARE(event["board"].toString(), QStringLiteral("1"));
    }
    // The board's whole record.
    const QJsonObject board = events[events.size() - 2];
    QCOMPARE(board["event"].toString(), QStringLiteral("board"));
    QCOMPARE(board["exit"].toInt(), 0);
    QCOMPARE(board["result"].toString(), QStringLiteral("done"));
    QCOMPARE(board["lines"].toInt(), 86);
    QCOMPARE(board["file_lines"].toInt(), 43);
    QCOMPARE(board["version"].toString(), QStringLiteral("VER=1.0 SIM"));
    QCOMPARE(board["file"].toString(), QFileInfo(blink).absoluteFilePath());
    QFile file(blink);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(board["sha256"].toString(),
             QString::fromLatin1(
                 QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex()));
    const QDateTime started = QDateTime::fromString(board["started"].toString(), Qt::ISODateWithMs);
    const QDateTime ended = QDateTime::fromString(board["ended"].toString(), Qt::ISODateWithMs);
    QVERIFY(started.isValid() && started.timeSpec() == Qt::UTC && started <= ended);
    QCOMPARE(board["pace"].toString(), QStringLiteral("poll"));
    QCOMPARE(board["face"].toString(), QStringLiteral("cli"));
    QCOMPARE(board["recorded"].toBool(), true);
    QVERIFY(!board.contains("error")); // on failure only
    const QJsonObject done = events.last();
    QCOMPARE(done["event"].toString(), QStringLiteral("done"));
    QCOMPARE(done["schema"].toInt(), 1);
    QCOMPARE(done["exit"].toInt(), 0);
    int lastPercent = -1;
    for (const QJsonObject &event : events.mid(1, events.size() - 3)) {
        QCOMPARE(event["event"].toString(), QStringLiteral("progress"));
        if (event["pass"].toString() == "verify" && lastPercent == 100)
            lastPercent = -1;
        QVERIFY(event["percent"].toInt() > lastPercent); // a whole per cent at most once
        lastPercent = event["percent"].toInt();
    }
}

void TestCli::jsonRunThatEndsEarlySaysDone_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("error");
    QTest::newRow("bad usage") << QStringList{"--json", "--fast", blink} << 1 << "fast";
    QTest::newRow("file refused") << QStringList{"--json", path("missing.hex")} << 2
                                  << "File not found";
}

// A script reading the events learns how every run ended, also one that
// never reached a board.
void TestCli::jsonRunThatEndsEarlySaysDone()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, error);
    const Cli cli(arguments);
    QCOMPARE(cli.exitCode, exitCode);
    const QJsonObject done = QJsonDocument::fromJson(cli.out.trimmed().toUtf8()).object();
    QCOMPARE(done["event"].toString(), QStringLiteral("done"));
    QCOMPARE(done["schema"].toInt(), 1);
    QCOMPARE(done["exit"].toInt(), exitCode);
    QVERIFY2(done["error"].toString().contains(error), qPrintable(cli.out));
}

void TestCli::sameBytesAsTheWindow()
{
    QByteArray sent[2];
    for (int face = 0; face < 2; ++face) {
        const QString record = path(QStringLiteral("record%1").arg(face));
        SimulatedBoard sim({"--quiet", "--record", record});
        QVERIFY(sim.isReady());
        if (face == 0) {
            const Cli cli({"-a", "1", "--install", blink});
            QVERIFY2(cli.exitCode == 0, qPrintable(cli.all()));
        } else {
            OpenWindow t("1");
            QVERIFY(t.ready());
            QVERIFY(t.download(blink, 10000));
            t.button("installButton")->click();
            QVERIFY(t.answered("RUN"));
            t.button("closePortButton")->click();
        }
        QVERIFY(sim.stop());
        QFile file(record);
        QVERIFY(file.open(QIODevice::ReadOnly));
        sent[face] = file.readAll();
    }
    QVERIFY(sent[0].size() > 86 * 20);
    QCOMPARE(sent[0], sent[1]);
}

void TestCli::replyPaceSendsTheSameBytesSooner()
{
    // A sixth of the whole firmware: long enough that the pace, not starting
    // the programs, sets the time; the whole file at the poll pace is tst_endtoend's.
    QFile whole(exampleFile("firmware.hex"));
    QVERIFY(whole.open(QIODevice::ReadOnly));
    const QList<QByteArray> records = whole.readAll().split('\n');
    QVERIFY(records.size() > 200);
    const QString firmware =
        write("part.hex", records.mid(0, 200).join('\n') + "\n:00000001FF\r\n");
    QByteArray sent[2];
    double seconds[2];
    for (int pace = 0; pace < 2; ++pace) {
        const QString record = path(QStringLiteral("pace%1").arg(pace));
        SimulatedBoard sim({"--quiet", "--record", record});
        QVERIFY(sim.isReady());
        QElapsedTimer clock;
        clock.start();
        const Cli cli({"-a", "1", "--pace", pace == 0 ? "poll" : "reply", firmware}, 60000);
        seconds[pace] = clock.elapsed() / 1000.0;
        QVERIFY2(cli.exitCode == 0, qPrintable(cli.all()));
        QVERIFY(sim.stop());
        QFile file(record);
        QVERIFY(file.open(QIODevice::ReadOnly));
        sent[pace] = file.readAll();
    }
    qInfo("200 lines downloaded and verified: poll pace %.1f s, reply pace %.1f s", seconds[0],
          seconds[1]);
    QCOMPARE(sent[1], sent[0]);
    QVERIFY(seconds[1] < seconds[0] / 4);
}

void TestCli::queryNewAddressAndInstall()
{
    SimulatedBoard sim({"--address", "1"});
    QVERIFY(sim.isReady());
    const Cli cli({"-a", "1", "--query", "--set-address", "10", "--install"});
    QVERIFY2(cli.exitCode == 0, qPrintable(cli.all()));
    QVERIFY(cli.out.contains("board 1: VER=1.0 SIM"));
    QVERIFY(cli.out.contains("board 10: ADDR=0A")); // already at its new address
    QVERIFY(cli.out.contains("board 10: RUN"));     // the install went to the new address
    QVERIFY(cli.out.contains("board 10: done"));
    QVERIFY(sim.stop());
    QVERIFY(sim.output().contains("BOOTg"));
}

void TestCli::listsThePorts()
{
    SimulatedBoard sim({"--quiet"});
    QVERIFY(sim.isReady());
    const QString device = QFile::symLinkTarget(path("config/bootline/ports/COM3"));
    const Cli cli({"--list-ports"});
    QCOMPARE(cli.exitCode, 0);
    QVERIFY2(cli.out.contains(device + ", as COM3"), qPrintable(cli.out));
}

void TestCli::ctrlCClosesThePort_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("SIGINT") << int(SIGINT) << 130;
    QTest::newRow("SIGTERM") << int(SIGTERM) << 143;
    QTest::newRow("SIGHUP") << int(SIGHUP) << 129;
}

void TestCli::ctrlCClosesThePort()
{
    QFETCH(int, signalNumber);
    QFETCH(int, exitCode);
    SimulatedBoard sim({"--latency", "20"});
    QVERIFY(sim.isReady());
    QProcess cli;
    cli.start(TestPaths::cli(), {"-a", "1", blink});
    QVERIFY(
        QTest::qWaitFor([&] { return cli.readAllStandardOutput().contains("download"); }, 5000));
    ::kill(pid_t(cli.processId()), signalNumber);
    QVERIFY(cli.waitForFinished(3000));
    QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
    QCOMPARE(cli.exitCode(), exitCode);
    QVERIFY(cli.readAllStandardError().contains("interrupted; the port is closed"));
    // The board sees the line go quiet; the port opens again at once.
    const Cli again({"-a", "1", "--query"});
    QCOMPARE(again.exitCode, 0);
    QVERIFY(sim.stop());
    QVERIFY(!QFile::exists(path("config/bootline/ports/COM3")));
}

QTEST_MAIN(TestCli)
#include "tst_cli.moc"

// Worked out apart from bootline: the data bytes in address order through
// zlib.crc32, each file through sha256sum. The one firmware in four formats
// (binutils made the others from the HEX file): the same data, the same CRC-32.
void TestCli::infoOfTheExampleFirmware_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("format");
    QTest::addColumn<int>("records");       // as they go to the board
    QTest::addColumn<QStringList>("lines"); // the format's own, as readelf and the file tell them
    QTest::addColumn<QString>("sha256");
    QTest::addColumn<QJsonObject>("json"); // beside what all formats give
    QTest::newRow("Intel HEX") << "firmware.hex" << QStringList{} << "Intel HEX" << 1204
                               << QStringList{"Records:       1204 (Intel HEX, sent as they stand)",
                                              "Start address: 0x0800C0C1 (linear)"}
                               << "f009ca678680d06d67229f7bdcc6ac95c59ce31d03a8e80e006560f64db98165"
                               << QJsonObject{{"file_records", 1204},
                                              {"start_address", "0x0800C0C1"}};
    QTest::newRow("S-record")
        << "firmware.srec" << QStringList{} << "Motorola S-record" << 1204
        << QStringList{"Header (S0):   \"firmware.srec\"",
                       "Data records:  687, S3 (32-bit addresses)",
                       "Count record:  none (no S5 or S6)",
                       "Records:       1204 to the board (Intel HEX, converted from 689 S-records)",
                       "Start address: 0x0800C0C1 (S7 record)"}
        << "cccdc11972273e31d34608ca6b680a6ef0a09ce9116210e80f9f08b96c60c3cf"
        << QJsonObject{{"file_records", 689},
                       {"start_address", "0x0800C0C1"},
                       {"srecord", QJsonObject{{"header", "firmware.srec"},
                                               {"data_records", 687},
                                               {"data_types", QJsonArray{"S3"}},
                                               {"count_record", QJsonValue()},
                                               {"end_record", "S7"}}}};
    QTest::newRow("ELF")
        << "firmware.elf" << QStringList{} << "ELF" << 1204
        << QStringList{"ELF:           32-bit, little-endian, ARM, executable",
                       "Segment 1:     load 0x0800C000, runs at 0x20000000, 19200 bytes sent, "
                       "1024 not sent",
                       "Not sent:      1024 bytes in all (zero-filled at start-up: .bss, heap, "
                       "stack)",
                       "Records:       1204 to the board (Intel HEX, converted from 1 loadable "
                       "segment)",
                       "Entry point:   0x0800C0C1"}
        << "4db72ba0dd1b627d4571245b7bf8fe837998a3a222c5f5fe91df0c39465af174"
        << QJsonObject{{"start_address", "0x0800C0C1"},
                       {"elf", QJsonObject{{"class", "ELF32"},
                                           {"byte_order", "little-endian"},
                                           {"machine", "ARM"},
                                           {"machine_number", 40},
                                           {"type", "executable"},
                                           {"entry_point", "0x0800C0C1"},
                                           {"load_segments",
                                            QJsonArray{QJsonObject{{"segment", 1},
                                                                   {"load_address", "0x0800C000"},
                                                                   {"run_address", "0x20000000"},
                                                                   {"bytes_sent", 19200},
                                                                   {"bytes_not_sent", 1024}}}},
                                           {"bytes_not_sent", 1024}}}};
    QTest::newRow("binary")
        << "firmware.bin" << QStringList{"--base", "0x0800C000"} << "raw binary" << 1203
        << QStringList{"Records:       1203 to the board (Intel HEX, converted from 19200 bytes)",
                       "Start address: none given"}
        << "1504be681ef790dc708109d8736dc861dd031fd83b4cce711777c84a670f5fc5" << QJsonObject{};
}

void TestCli::infoOfTheExampleFirmware()
{
    QFETCH(QString, file);
    QFETCH(QStringList, options);
    QFETCH(QString, format);
    QFETCH(int, records);
    QFETCH(QStringList, lines);
    QFETCH(QString, sha256);
    QFETCH(QJsonObject, json);
    const QString firmware = exampleFile(file);
    const QString formatLine =
        format == "Intel HEX" ? format : format + ", sent as Intel HEX records";
    const Cli text(QStringList{"--info", firmware} + options);
    QVERIFY2(text.exitCode == 0, qPrintable(text.all()));
    for (const QString &line :
         lines + QStringList{"Format:        " + formatLine, "Data bytes:    19200",
                             "Ranges:        0x0800C000-0x08010AFF  19200 bytes",
                             "SHA-256:       " + sha256,
                             "CRC-32:        0xE0969D76 (data bytes only, gaps skipped)"})
        QVERIFY2(text.out.contains(line + u'\n'), qPrintable(text.out));
    QVERIFY(text.err.isEmpty());

    const Cli jsonRun(QStringList{"--info", "--json", firmware} + options);
    QVERIFY2(jsonRun.exitCode == 0, qPrintable(jsonRun.all()));
    QJsonParseError error;
    const QJsonObject info = QJsonDocument::fromJson(jsonRun.out.toUtf8(), &error).object();
    QVERIFY2(error.error == QJsonParseError::NoError, qPrintable(jsonRun.out));
    QCOMPARE(jsonRun.out.count(u'\n'), 1); // one object, one line
    QJsonObject expected{
        {"format", format},
        {"file", firmware},
        {"records", records},
        {"data_bytes", 19200},
        {"ranges",
         QJsonArray{QJsonObject{{"start", "0x0800C000"}, {"end", "0x08010AFF"}, {"bytes", 19200}}}},
        {"sha256", sha256},
        {"crc32", "0xE0969D76"}};
    for (auto field = json.begin(); field != json.end(); ++field)
        expected.insert(field.key(), field.value());
    QCOMPARE(info, expected);
}

void TestCli::infoOfAWrittenFile_data()
{
    QTest::addColumn<QList<QByteArray>>("records");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("says"); // on standard output when done, else standard error

    const QByteArray eight = "ABCDEFGH";
    const QByteArray segmentStart = hexRecord(3, 0, QByteArray::fromHex("F000FFF0"));
    QTest::newRow("two ranges, a segment start")
        << QList<QByteArray>{hexRecord(2, 0, QByteArray::fromHex("1000")), hexRecord(0, 0, eight),
                             hexRecord(0, 0x20, eight), segmentStart, EndOfFileRecord}
        << QStringList{} << 0
        << QStringList{"Records:       5 (Intel HEX, sent as they stand)", "Data bytes:    16",
                       "Ranges:        0x00010000-0x00010007  8 bytes",
                       "               0x00010020-0x00010027  8 bytes",
                       "Start address: 0x000FFFF0 (segment, CS:IP F000:FFF0)",
                       // zlib.crc32(b"ABCDEFGH" * 2), then over the span with 0xFF in the gap
                       "CRC-32:        0xCCD3083A (data bytes only, gaps skipped)",
                       "               0x76774349 (0x00010000-0x00010027, gaps filled with 0xFF "
                       "as in erased flash)"};
    QTest::newRow("no data") << QList<QByteArray>{EndOfFileRecord} << QStringList{} << 2
                             << QStringList{"info.hex: it holds no data bytes"};
    const QList<QByteArray> overlapping{hexRecord(4, 0, QByteArray::fromHex("0800")),
                                        hexRecord(0, 0x10, eight), hexRecord(0, 0x14, eight),
                                        EndOfFileRecord};
    QTest::newRow("overlap") << overlapping << QStringList{} << 2
                             << QStringList{"records 2 and 3 both write the address 0x08000014"};
    QTest::newRow("overlap, JSON")
        << overlapping << QStringList{"--json"} << 2
        << QStringList{"records 2 and 3 both write the address 0x08000014"};
    QTest::newRow("a bad record") << QList<QByteArray>{":0100000041BF", EndOfFileRecord}
                                  << QStringList{} << 2 << QStringList{"line 1", "checksum"};
}

void TestCli::infoOfAWrittenFile()
{
    QFETCH(QList<QByteArray>, records);
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QStringList, says);
    const QString file = write("info.hex", records.join("\r\n") + "\r\n");
    const Cli cli(QStringList{"--info"} + arguments + QStringList{file});
    QVERIFY2(cli.exitCode == exitCode, qPrintable(cli.all()));
    const QString &where = exitCode == 0 ? cli.out : cli.err;
    for (const QString &words : says)
        QVERIFY2(where.contains(words), qPrintable(cli.all()));
    if (exitCode != 0 && arguments.contains("--json")) {
        const QJsonObject done = QJsonDocument::fromJson(cli.out.toUtf8()).object();
        QCOMPARE(done["exit"].toInt(), exitCode);
        QVERIFY(done["error"].toString().contains(says.first()));
    }
}

// Everything up to the first line, in words and in JSON: the board's bytes
// are probes only, and the store gets nothing.
void TestCli::dryRunSendsOnlyTheProbe()
{
    const QString bytes = path("dry-run.bytes");
    const QString store = path("dry-run/history.sqlite");
    SimulatedBoard sim({"--address", "1", "--quiet", "--record", bytes});
    QVERIFY(sim.isReady());
    const Cli cli({"-a", "1", "--dry-run", "--log", store, blink});
    QVERIFY2(cli.exitCode == 0, qPrintable(cli.all()));
    QVERIFY2(cli.out.contains("board 1: VER=1.0 SIM\n"), qPrintable(cli.out));
    QVERIFY2(cli.out.contains("board 1: dry run done: the board answered, nothing sent"),
             qPrintable(cli.out));

    const Cli json({"-a", "1", "--dry-run", "--json", "--log", store, blink});
    QVERIFY2(json.exitCode == 0, qPrintable(json.all()));
    const QList<QJsonObject> events = jsonLines(json.out);
    QStringList names;
    for (const QJsonObject &event : events)
        names << event["event"].toString();
    QCOMPARE(names, QStringList({"connected", "board", "done"}));
    QCOMPARE(events[0]["version"].toString(), QStringLiteral("VER=1.0 SIM"));
    QCOMPARE(events[1]["dry_run"], QJsonValue(true));
    QCOMPARE(events[1]["result"].toString(), QStringLiteral("done"));
    QCOMPARE(events[1]["lines"].toInt(), 0);
    QCOMPARE(events[2]["exit"].toInt(), 0);

    QVERIFY(sim.stop());
    QVERIFY2(sim.output().contains("lines received 0"), qPrintable(sim.output()));
    QFile recorded(bytes);
    QVERIFY(recorded.open(QIODevice::ReadOnly));
    const QByteArray sent = recorded.readAll();
    // "BOOTi\r\n" to address 1, and its CRC-16/MODBUS low byte first.
    const QByteArray probe = QByteArray::fromHex("01424F4F54690D0AFC89");
    QVERIFY2(sent.size() >= 2 * probe.size() && sent.size() % probe.size() == 0,
             sent.toHex(' ').constData());
    QCOMPARE(sent, probe.repeated(sent.size() / probe.size()));
    QVERIFY(!QFile::exists(store));
}
