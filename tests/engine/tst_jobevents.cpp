#include "fakes/testengine.h"
#include "support/outcomenames.h"

#include <QTest>

// The job as the engine reports it, event by event, for scripts of what the
// operator does and what the board says. A script is a list of steps:
// "open", "probe", "load" (three lines), "r:TEXT" (the board says TEXT; one
// read may bring several replies: "r:OK|ERROR"),
// "overdue" (a reply's wait runs out: 3 s), "held" (so does the wait for the
// other answer to a line sent twice), "commandOverdue", "addr", "query",
// "install", "lost", "close".
namespace {

QString passName(Pass pass)
{
    return pass == Pass::Download ? QStringLiteral("d") : QStringLiteral("v");
}

QString commandName(DeviceCommand command)
{
    switch (command) {
    case DeviceCommand::Query:
        return QStringLiteral("query");
    case DeviceCommand::NewAddress:
        return QStringLiteral("addr");
    case DeviceCommand::Install:
        return QStringLiteral("install");
    }
    return {};
}

// Every job event, written down as it comes.
struct EventLog {
    QStringList events;
    JobResult last;

    explicit EventLog(Engine &engine)
    {
        auto add = [this](const QString &event) { events << event; };
        QObject::connect(&engine, &Engine::boardFound, &engine,
                         [=](const QString &address, const QByteArray &version) {
                             add("found " + address + " " + QString::fromLatin1(version.trimmed()));
                         });
        QObject::connect(&engine, &Engine::probeGaveUp, &engine,
                         [=](int probes) { add(QStringLiteral("gave up %1").arg(probes)); });
        QObject::connect(&engine, &Engine::passStarted, &engine, [=](Pass pass, qint16 lines) {
            add(QStringLiteral("pass %1 %2").arg(passName(pass)).arg(lines));
        });
        QObject::connect(&engine, &Engine::lineSent, &engine, [=](Pass pass, qint16 line) {
            add(QStringLiteral("sent %1%2").arg(passName(pass)).arg(line));
        });
        QObject::connect(&engine, &Engine::lineAcknowledged, &engine, [=](Pass pass, qint16 line) {
            add(QStringLiteral("ack %1%2").arg(passName(pass)).arg(line));
        });
        QObject::connect(
            &engine, &Engine::lineResent, &engine, [=](Pass pass, qint16 line, int sendings) {
                add(QStringLiteral("resent %1%2 x%3").arg(passName(pass)).arg(line).arg(sendings));
            });
        QObject::connect(&engine, &Engine::lineRefused, &engine,
                         [=](Pass pass, qint16 line, ReplyKeyword, const QByteArray &reply) {
                             add(QStringLiteral("refused %1%2 ").arg(passName(pass)).arg(line) +
                                 QString::fromLatin1(reply.trimmed()));
                         });
        QObject::connect(&engine, &Engine::lineUnanswered, &engine,
                         [=](Pass pass, qint16 line, int sendings) {
                             add(QStringLiteral("unanswered %1%2 x%3")
                                     .arg(passName(pass))
                                     .arg(line)
                                     .arg(sendings));
                         });
        QObject::connect(&engine, &Engine::commandAnswered, &engine,
                         [=](DeviceCommand command, ReplyKeyword, const QByteArray &reply) {
                             add(commandName(command) + " answered " +
                                 QString::fromLatin1(reply.trimmed()));
                         });
        QObject::connect(&engine, &Engine::commandUnanswered, &engine,
                         [=](DeviceCommand command) { add(commandName(command) + " silent"); });
        QObject::connect(&engine, &Engine::deviceLost, &engine, [=] { add("device lost"); });
        QObject::connect(&engine, &Engine::jobEnded, &engine, [this, add](const JobResult &job) {
            last = job;
            add("ended " + outcomeName(job.outcome));
        });
    }
};

void play(TestEngine &t, const QStringList &steps)
{
    for (const QString &step : steps) {
        if (step == u"open") {
            t.engine.setRtu(false);
            t.engine.setAddress(QStringLiteral("1"));
            t.engine.openPort();
        } else if (step == u"probe") {
            t.probeInterval();
        } else if (step == u"load") {
            t.engine.startDownload({":01", ":02", ":00000001FF"});
        } else if (step.startsWith(u"r:")) {
            t.arrive(step.mid(2).toLatin1().replace('|', "\r\n") + "\r\n");
        } else if (step == u"overdue") {
            t.time.advance(JobTiming::ReplyTimeoutMs);
        } else if (step == u"held") {
            t.time.advance(JobTiming::ReplyTimeoutMs * 5 / 2);
        } else if (step == u"commandOverdue") {
            t.time.advance(JobTiming::ReplyTimeoutMs);
        } else if (step == u"addr") {
            t.engine.setAddressOrScanNext();
        } else if (step == u"query") {
            t.engine.queryBoard();
        } else if (step == u"install") {
            t.engine.installFirmware();
        } else if (step == u"lost") {
            t.port->lost = true;
            t.time.advance(JobTiming::TicksPerBlink *
                           JobTiming::PollEveryMs); // the poll's longest sleep
        } else if (step == u"close") {
            t.engine.closePort();
        } else if (step == u"unload") {
            t.engine.unload();
        } else {
            QFAIL(qPrintable("no such step: " + step));
        }
    }
}

const QStringList WholeJob{"sent d1", "ack d1",   "sent d2", "ack d2",        "sent d3",
                           "ack d3",  "pass v 3", "sent v1", "ack v1",        "sent v2",
                           "ack v2",  "sent v3",  "ack v3",  "ended verified"};

} // namespace

class TestJobEvents : public QObject {
    Q_OBJECT
private slots:
    void eventsTellTheJob_data();
    void eventsTellTheJob();
    void theResultDescribesTheJob();
    void twoAnswersToTheLastLineAreToldAsTheyCame();
};

void TestJobEvents::eventsTellTheJob_data()
{
    QTest::addColumn<bool>("unattended"); // else the window's policy
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("events");

    const QStringList whole{"r:OK", "r:OK", "r:DOWNLOAD", "r:OK", "r:OK", "r:DOWNLOAD"};
    QTest::newRow("probe, then a whole job")
        << false << QStringList{"open", "probe", "r:VER=2.0", "load"} + whole
        << QStringList{"found 1 VER=2.0", "pass d 3"} + WholeJob;
    for (const bool unattended : {false, true}) {
        QTest::addRow("%s: a doubled DOWNLOAD answers no verify line",
                      unattended ? "cli" : "window")
            << unattended << QStringList{"open", "load", "r:OK", "r:OK", "r:DOWNLOAD", "r:DOWNLOAD"}
            << QStringList{"pass d 3", "sent d1", "ack d1",   "sent d2", "ack d2",
                           "sent d3",  "ack d3",  "pass v 3", "sent v1", "ended extra reply"};
        QTest::addRow("%s: a stray OK read with the board's ERROR", unattended ? "cli" : "window")
            << unattended << QStringList{"open", "load", "r:OK|ERROR 7"}
            << QStringList{"pass d 3", "sent d1", "ack d1", "refused d1 ERROR 7", "ended refused"};
    }
    QTest::newRow("unattended: a late answer to a probe, then a restart")
        << true
        << QStringList{"open", "probe", "r:VER=2.0", "load", "r:VER=2.0", "r:OK", "r:VER=2.0"}
        << QStringList{"found 1 VER=2.0", "pass d 3", "sent d1",
                       "ack d1",          "sent d2",  "ended restarted"};
    QTest::newRow("a refused line ends the job")
        << false << QStringList{"open", "load", "r:OK", "r:ERROR 7"}
        << QStringList{"pass d 3",           "sent d1",      "ack d1", "sent d2",
                       "refused d2 ERROR 7", "ended refused"};
    QTest::newRow("FORMAT is a refusal too")
        << true << QStringList{"open", "load", "r:FORMAT"}
        << QStringList{"pass d 3", "sent d1", "refused d1 FORMAT", "ended refused"};
    QTest::newRow("unattended: sent again, answered once, goes on when the other is not coming")
        << true << QStringList{"open", "load", "overdue", "r:OK", "held"}
        << QStringList{"pass d 3", "sent d1", "resent d1 x2", "ack d1", "sent d2"};
    QTest::newRow("unattended: sent again, answered twice, acknowledged once")
        << true << QStringList{"open", "load", "overdue", "r:OK", "r:OK"}
        << QStringList{"pass d 3", "sent d1", "resent d1 x2", "ack d1", "sent d2"};
    QTest::newRow("unattended: sent again, still unanswered, the job ends")
        << true << QStringList{"open", "load", "overdue", "overdue", "r:OK"}
        << QStringList{"pass d 3", "sent d1", "resent d1 x2", "unanswered d1 x2",
                       "ended unanswered"};
    QTest::newRow("OK to the last line is no acknowledgement")
        << true << QStringList{"open", "load", "r:OK", "r:OK", "r:OK"}
        << QStringList{"pass d 3", "sent d1", "ack d1", "sent d2", "ack d2", "sent d3"};
    QTest::newRow("the probe gives up after 127")
        << false << QStringList{"open"} + QStringList(128, "probe") << QStringList{"gave up 127"};
    QTest::newRow("commands and their answers, any text")
        << true << QStringList{"open",      "query",   "r:VER=2.0",     "addr",
                               "r:ADDR=0A", "install", "commandOverdue"}
        << QStringList{"query answered VER=2.0", "addr answered ADDR=0A", "install silent"};
    QTest::newRow("unattended: OK to a command after the job sends no line")
        << true << QStringList{"open", "load"} + whole + QStringList{"addr", "r:OK", "r:OK"}
        << QStringList{"pass d 3"} + WholeJob + QStringList{"addr answered OK"};
    QTest::newRow("a late DOWNLOAD is no answer to a command")
        << true << QStringList{"open", "addr", "r:DOWNLOAD", "commandOverdue"}
        << QStringList{"addr silent"};
    QTest::newRow("the device goes away mid-job")
        << false << QStringList{"open", "load", "r:OK", "lost"}
        << QStringList{"pass d 3", "sent d1", "ack d1", "sent d2", "ended lost", "device lost"};
    QTest::newRow("Close Port mid-job stops it")
        << false << QStringList{"open", "load", "close", "r:OK"}
        << QStringList{"pass d 3", "sent d1", "ended stopped"};
    QTest::newRow("another file mid-job ends the first")
        << false << QStringList{"open", "load", "r:OK", "load"}
        << QStringList{"pass d 3",       "sent d1",  "ack d1", "sent d2",
                       "ended replaced", "pass d 3", "sent d1"};
    QTest::newRow("a line left unanswered: the next job owes nothing of it")
        << false << QStringList{"open", "load", "close", "open", "load", "r:OK"}
        << QStringList{"pass d 3", "sent d1", "ended stopped", "pass d 3",
                       "sent d1",  "ack d1",  "sent d2"};
    QTest::newRow("the window closed mid-job stops it")
        << false << QStringList{"open", "load", "unload"}
        << QStringList{"pass d 3", "sent d1", "ended stopped"};
    QTest::newRow("a file loaded with the port closed is no job")
        << false << QStringList{"load"} << QStringList{};
}

void TestJobEvents::eventsTellTheJob()
{
    QFETCH(bool, unattended);
    QFETCH(QStringList, steps);
    QFETCH(QStringList, events);
    TestEngine t;
    if (unattended)
        t.engine.setPolicy(JobPolicy::unattended(3000, 1));
    EventLog log(t.engine);
    play(t, steps);
    QCOMPARE(log.events, events);
}

void TestJobEvents::theResultDescribesTheJob()
{
    TestEngine t;
    t.engine.setPolicy(JobPolicy::unattended(3000, 2));
    EventLog log(t.engine);
    // Line 1 is sent again and both sendings are answered.
    play(t, {"open", "probe", "r:VER=2.0", "load", "overdue", "r:OK", "r:OK", "r:OK", "r:DOWNLOAD",
             "r:OK", "r:OK", "r:DOWNLOAD"});
    QVERIFY2(log.events.last() == QStringLiteral("ended verified"),
             qPrintable(log.events.join(", ")));
    const JobResult &job = log.last;
    QVERIFY(job.verified());
    QCOMPARE(job.pass, Pass::Verify);
    QCOMPARE(job.line, qint16(3));
    QCOMPARE(job.lines, qint16(3));
    QCOMPARE(job.verifiedInStep, qint16(3));
    QCOMPARE(job.linesSent, 7);
    QCOMPARE(job.resends, 1);
    QCOMPARE(job.versionReply, QByteArray("VER=2.0\r\n"));
    QCOMPARE(job.reply, QByteArray("DOWNLOAD\r\n"));
}

void TestJobEvents::twoAnswersToTheLastLineAreToldAsTheyCame()
{
    TestEngine t;
    play(t, {"open", "load", "r:OK", "r:OK", "r:OK", "r:DOWNLOAD"});
    QCOMPARE(t.reports.shown.value(0).text,
             QStringLiteral("Line 3 of 3, the last, got two answers, OK and then DOWNLOAD; the "
                            "image is not verified."));
}

QTEST_GUILESS_MAIN(TestJobEvents)
#include "tst_jobevents.moc"
