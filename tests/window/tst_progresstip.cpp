#include "fakes/testwindow.h"
#include "window/progresstip.h"

#include <QHelpEvent>
#include <QTest>
#include <QToolTip>

// The bar's tooltip: how far the job is and how long it has left, from the
// engine's job events and a clock the test moves by hand.
class TestProgressTip : public QObject {
    Q_OBJECT
private slots:
    void text_data();
    void text();
    void timeLeft_data();
    void timeLeft();
    void aNewJobStartsItsOwnPace();
    void windowShowsItOverTheBar();
};

void TestProgressTip::text_data()
{
    QTest::addColumn<Pass>("pass");
    QTest::addColumn<int>("line");
    QTest::addColumn<int>("lines");
    QTest::addColumn<qint64>("msLeft"); // -1: not known yet
    QTest::addColumn<QString>("expected");
    QTest::newRow("verify") << Pass::Verify << 512 << 1204 << qint64(31000)
                            << "line 512 of 1204, verify pass, about 0:31 left";
    QTest::newRow("download, minutes") << Pass::Download << 3 << 900 << qint64(725000)
                                       << "line 3 of 900, download pass, about 12:05 left";
    QTest::newRow("rounded to the second")
        << Pass::Verify << 1 << 2 << qint64(1499) << "line 1 of 2, verify pass, about 0:01 left";
    QTest::newRow("over an hour") << Pass::Download << 1 << 30000 << qint64(3723000)
                                  << "line 1 of 30000, download pass, about 1:02:03 left";
    QTest::newRow("nothing left") << Pass::Verify << 9 << 9 << qint64(0)
                                  << "line 9 of 9, verify pass, about 0:00 left";
    QTest::newRow("no pace yet") << Pass::Download << 1 << 40 << qint64(-1)
                                 << "line 1 of 40, download pass";
}

void TestProgressTip::text()
{
    QFETCH(Pass, pass);
    QFETCH(int, line);
    QFETCH(int, lines);
    QFETCH(qint64, msLeft);
    QFETCH(QString, expected);
    const std::optional<qint64> left = msLeft < 0 ? std::nullopt : std::optional(msLeft);
    QCOMPARE(progressTipText(pass, line, lines, left), expected);
}

// A job of ten lines, a line every 100 ms, from the first line out.
struct PacedJob {
    qint64 now = 0;
    JobPace pace{[this] { return now; }};

    // Sends every line up to the given one, of the pass given.
    void sendUpTo(Pass pass, int last)
    {
        const int lines = 10;
        for (Pass p : {Pass::Download, Pass::Verify}) {
            pace.passStarted(p, lines);
            for (int line = 1; line <= (p == pass ? last : lines); ++line) {
                pace.lineSent(p, qint16(line));
                if (p == pass && line == last)
                    return;
                now += 100;
            }
        }
    }
};

void TestProgressTip::timeLeft_data()
{
    QTest::addColumn<Pass>("pass");
    QTest::addColumn<int>("line"); // sent last
    QTest::addColumn<int>("wait"); // ms since
    QTest::addColumn<qint64>("msLeft");
    QTest::newRow("first line: no pace yet") << Pass::Download << 1 << 50 << qint64(-1);
    // Lines 5 to 10, then the whole verify pass.
    QTest::newRow("download pass counts the verify pass")
        << Pass::Download << 5 << 0 << qint64(1600);
    QTest::newRow("the line out now is under way") << Pass::Download << 5 << 30 << qint64(1570);
    QTest::newRow("verify pass, its own lines only") << Pass::Verify << 1 << 0 << qint64(1000);
    QTest::newRow("late last line: never below nothing") << Pass::Verify << 10 << 250 << qint64(0);
}

void TestProgressTip::timeLeft()
{
    QFETCH(Pass, pass);
    QFETCH(int, line);
    QFETCH(int, wait);
    QFETCH(qint64, msLeft);
    PacedJob job;
    job.sendUpTo(pass, line);
    job.now += wait;
    QCOMPARE(job.pace.msLeft().value_or(-1), msLeft);
    QVERIFY(job.pace.text().startsWith(QStringLiteral("line %1 of 10").arg(line)));
}

void TestProgressTip::aNewJobStartsItsOwnPace()
{
    PacedJob job;
    job.sendUpTo(Pass::Download, 4);
    job.pace.jobEnded();
    QCOMPARE(job.pace.text(), QString());

    // The board is much slower now: the last job's pace does not count.
    job.now += 60000;
    job.pace.passStarted(Pass::Download, 10);
    job.pace.lineSent(Pass::Download, 1);
    QCOMPARE(job.pace.msLeft(), std::nullopt);
    job.now += 1000;
    job.pace.lineSent(Pass::Download, 2);
    QCOMPARE(job.pace.msLeft(), std::optional<qint64>((9 + 10) * 1000));
}

void TestProgressTip::windowShowsItOverTheBar()
{
    TestWindow t;
    t.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&t.window));
    ProgressBar *bar = t.progress();
    const auto hover = [bar] {
        QHelpEvent event(QEvent::ToolTip, bar->rect().center(),
                         bar->mapToGlobal(bar->rect().center()));
        QCoreApplication::sendEvent(bar, &event);
    };

    emit t.engine.passStarted(Pass::Download, 4);
    emit t.engine.lineSent(Pass::Download, 1);
    emit t.engine.lineSent(Pass::Download, 2);
    hover();
    QVERIFY2(QToolTip::text().startsWith(QStringLiteral("line 2 of 4, download pass, about ")),
             qPrintable(QToolTip::text()));

    emit t.engine.jobEnded(JobResult{});
    hover();
    QTRY_VERIFY(!QToolTip::isVisible());
}

QTEST_MAIN(TestProgressTip)
#include "tst_progresstip.moc"
