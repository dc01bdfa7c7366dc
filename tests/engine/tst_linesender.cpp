#include "fakes/testengine.h"
#include "link/rtuframe.h"

#include <QTest>

class TestLineSender : public QObject {
    Q_OBJECT
private slots:
    void sendsEntriesInTurnAndWraps_data();
    void sendsEntriesInTurnAndWraps();
    void verifyFormTurnsEveryColonIntoAHash();
    void nothingLoadedSendsEmptyEntriesWithoutWrapping();
    void closedPortStillAdvances();
    void failsWithNothingSentPastTheTable_data();
    void failsWithNothingSentPastTheTable();
    void failedSendIsReportedAndTheEngineGoesOn();
    void anUnansweredLineIsShownAndALateReplyCarriesOn();
    void theNoticeCountsTheTimeUnanswered();
    void okToTheLastLineStartsNoNewPass();
};

namespace {

// An open port, plain text, three lines loaded.
void loadThreeLines(TestEngine &t)
{
    t.port->setOpen(true);
    t.engine.setRtu(false);
    for (qint16 i = 1; i <= 3; ++i)
        t.inside.state.lines[i] = ":0" + QByteArray::number(i);
    t.inside.state.lineCount = 3;
}

} // namespace

void TestLineSender::sendsEntriesInTurnAndWraps_data()
{
    QTest::addColumn<int>("lineCount");
    QTest::addColumn<QList<int>>("entriesSent");
    QTest::addColumn<QList<int>>("lineIndexAfter");
    QTest::newRow("three lines") << 3 << QList<int>{1, 2, 3, 1, 2, 3}
                                 << QList<int>{1, 2, 0, 1, 2, 0};
    QTest::newRow("one line") << 1 << QList<int>{1, 1, 1} << QList<int>{0, 0, 0};
}

void TestLineSender::sendsEntriesInTurnAndWraps()
{
    QFETCH(int, lineCount);
    QFETCH(QList<int>, entriesSent);
    QFETCH(QList<int>, lineIndexAfter);
    TestEngine t;
    t.port->setOpen(true);
    t.engine.setRtu(false);
    for (qint16 i = 1; i <= 4; ++i)
        t.inside.state.lines[i] = ":0" + QByteArray::number(i);
    t.inside.state.lineCount = qint16(lineCount);
    for (int run = 0; run < entriesSent.size(); ++run) {
        t.engine.sendNextLine();
        QCOMPARE(t.port->writes.last(), "BOOT:0" + QByteArray::number(entriesSent[run]) + "\r\n");
        QCOMPARE(int(t.inside.state.lineIndex), lineIndexAfter[run]);
        QCOMPARE(t.panel.progressPosition(), entriesSent[run]);
        QCOMPARE(t.panel.progressText(), QStringLiteral("DOWNLOAD"));
    }
    QCOMPARE(t.inside.state.lines[1], QByteArray(":01")); // the table itself is untouched
}

void TestLineSender::verifyFormTurnsEveryColonIntoAHash()
{
    TestEngine t;
    t.port->setOpen(true);
    t.engine.setAddress("1");
    t.inside.state.lines[1] = ":10:00:FF";
    t.inside.state.lines[2] = "no colon";
    t.inside.state.lineCount = 2;
    t.inside.state.verifying = true;
    t.engine.sendNextLine();
    t.engine.sendNextLine();
    QCOMPARE(t.port->writes[0], rtuFrame(1, "BOOT#10#00#FF\r\n"));
    QCOMPARE(t.port->writes[1], rtuFrame(1, "BOOTno colon\r\n"));
    QCOMPARE(t.panel.progressText(), QStringLiteral("NO FILE")); // left as it was
    QCOMPARE(t.inside.state.lines[1], QByteArray(":10:00:FF"));
}

void TestLineSender::nothingLoadedSendsEmptyEntriesWithoutWrapping()
{
    TestEngine t;
    t.port->setOpen(true);
    t.engine.setRtu(false);
    for (int run = 1; run <= 3; ++run) {
        t.engine.sendNextLine();
        QCOMPARE(t.port->writes.last(), QByteArray("BOOT\r\n"));
        QCOMPARE(int(t.inside.state.lineIndex), run);
        QCOMPARE(t.panel.progressPosition(), run);
    }
}

void TestLineSender::closedPortStillAdvances()
{
    TestEngine t;
    t.inside.state.lineCount = 5;
    t.engine.sendNextLine();
    QVERIFY(t.port->writes.isEmpty());
    QCOMPARE(t.inside.state.lineIndex, qint16(1));
    QCOMPARE(t.panel.progressPosition(), 1);
}

void TestLineSender::failsWithNothingSentPastTheTable_data()
{
    QTest::addColumn<int>("lineIndex");
    QTest::addColumn<int>("error");
    QTest::addColumn<int>("lineIndexAfter");
    QTest::newRow("past 9000") << 9000 << 9 << 9001;
    QTest::newRow("far past 9000") << 20000 << 9 << 20001;
    QTest::newRow("past 32767") << 32767 << 6 << 32767;
}

void TestLineSender::failsWithNothingSentPastTheTable()
{
    QFETCH(int, lineIndex);
    QFETCH(int, error);
    QFETCH(int, lineIndexAfter);
    TestEngine t;
    t.port->setOpen(true);
    t.inside.state.lineIndex = qint16(lineIndex);
    try {
        t.engine.sendNextLine();
        QFAIL("sent past the end of the table");
    } catch (const RuntimeError &e) {
        QCOMPARE(e.number(), error);
    }
    QVERIFY(t.port->writes.isEmpty());
    QCOMPARE(int(t.inside.state.lineIndex), lineIndexAfter);
}

void TestLineSender::failedSendIsReportedAndTheEngineGoesOn()
{
    TestEngine t;
    t.inside.state.lineIndex = 9000;
    t.engine.run([&] { t.engine.sendNextLine(); });
    QCOMPARE(t.reports.shown.size(), 1);
    QCOMPARE(t.reports.shown[0].error, 9);
    QVERIFY(t.reports.shown[0].text.startsWith("Subscript out of range"));

    // A new pass starts the lines over.
    t.inside.state.lineIndex = 0;
    t.engine.run([&] { t.engine.sendNextLine(); });
    QCOMPARE(t.reports.shown.size(), 1);
    QCOMPARE(t.inside.state.lineIndex, qint16(1));
}

void TestLineSender::anUnansweredLineIsShownAndALateReplyCarriesOn()
{
    TestEngine t;
    t.port->setOpen(true);
    t.engine.setRtu(false);
    for (qint16 i = 1; i <= 3; ++i)
        t.inside.state.lines[i] = ":0" + QByteArray::number(i);
    t.inside.state.lineCount = 3;
    Timer *watch = &t.inside.replyWatchTimer();
    QCOMPARE(watch->interval(), 3000);

    t.engine.sendNextLine();
    QVERIFY(watch->isEnabled());
    t.receive("OK\r\n"); // answered in time: the watch starts afresh for line 2
    QCOMPARE(t.port->writes.size(), 2);
    QVERIFY(watch->isEnabled());

    t.inside.replyOverdue(); // 3 s without a reply to line 2
    QCOMPARE(t.panel.answer(), QStringLiteral("No reply to line 2 of 3 for 3 s"));
    QCOMPARE(t.port->writes.size(), 2); // nothing resent
    t.receive("OK\r\n");                // the board was only busy
    QCOMPARE(t.port->writes.last(), QByteArray("BOOT:03\r\n"));
    QCOMPARE(t.panel.answer(), QStringLiteral("OK\r\n"));

    t.receive("DOWNLOAD\r\n");
    t.inside.replyOverdue();
    QCOMPARE(t.panel.answer(), QStringLiteral("No reply to verify line 1 of 3 for 3 s"));

    t.receive("chatter"); // no keyword: no answer yet
    QVERIFY(watch->isEnabled());
    t.engine.closePort();
    QVERIFY(!watch->isEnabled());
    t.engine.sendNextLine(); // nothing goes out on a closed port, so nothing is awaited
    QVERIFY(!watch->isEnabled());
}

void TestLineSender::theNoticeCountsTheTimeUnanswered()
{
    TestEngine t;
    loadThreeLines(t);
    int noticesToFaces = 0;
    QObject::connect(&t.engine, &Engine::lineUnanswered, &t.engine, [&] { ++noticesToFaces; });
    t.engine.sendNextLine();
    for (const char *shown : {"for 3 s", "for 4 s", "for 5 s"}) {
        t.inside.replyOverdue();
        QCOMPARE(t.panel.answer(), QStringLiteral("No reply to line 1 of 3 ") + shown);
    }
    QCOMPARE(noticesToFaces, 1); // a face decides once; the count is for the operator
    t.receive("OK\r\n");
    t.inside.replyOverdue();
    QCOMPARE(t.panel.answer(), QStringLiteral("No reply to line 2 of 3 for 3 s"));
}

// "OK" to the last line would wrap to line 1, which the board takes for the
// start of a new image: nothing goes out, and the wait says what came.
void TestLineSender::okToTheLastLineStartsNoNewPass()
{
    TestEngine t;
    loadThreeLines(t);
    t.engine.sendNextLine();
    t.receive("OK\r\n");
    t.receive("OK\r\n");
    QCOMPARE(t.port->writes.size(), 3);
    t.receive("OK\r\n");
    QCOMPARE(t.port->writes.size(), 3);
    QVERIFY(t.inside.replyWatchTimer().isEnabled());
    t.inside.replyOverdue();
    QCOMPARE(
        t.panel.answer(),
        QStringLiteral("No reply to line 3 of 3 for 3 s: the board answered OK, not DOWNLOAD"));
    t.receive("DOWNLOAD\r\n"); // it was one behind: the pass is through after all
    QCOMPARE(t.port->writes.last(), QByteArray("BOOT#01\r\n"));
    QCOMPARE(t.panel.progressText(), QStringLiteral("VERIFY"));

    t.engine.sendNextLine(); // Send still pushes lines by hand, past the end too
    t.engine.sendNextLine();
    t.engine.sendNextLine();
    QCOMPARE(t.port->writes.last(), QByteArray("BOOT#01\r\n"));
}

QTEST_GUILESS_MAIN(TestLineSender)
#include "tst_linesender.moc"
