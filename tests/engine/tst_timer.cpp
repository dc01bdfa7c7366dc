#include "engine/timer.h"

#include <QSignalSpy>
#include <QTest>
#include <QThread>

// The kernel's and Qt's timers themselves, so real time; but no case holds a
// timer to a duration (how late the poll ticks is a figure of make bench),
// and every wait is bounded generously enough that a loaded machine only
// makes it longer, never wrong.
class TestTimer : public QObject {
    Q_OBJECT
private slots:
    void startOrStopDropsATickAlreadyDue_data();
    void startOrStopDropsATickAlreadyDue();
    void singleShotTicksOnce_data() { bothAccuracies(); }
    void singleShotTicksOnce();
    void setIntervalRestartsARunningTimer_data() { bothAccuracies(); }
    void setIntervalRestartsARunningTimer();
    void enablingARunningTimerChangesNothing_data() { bothAccuracies(); }
    void enablingARunningTimerChangesNothing();

private:
    static void bothAccuracies();

    static constexpr int LongMs = 60000;    // never reached in a test
    static constexpr int GenerousMs = 5000; // for a tick of a few milliseconds
};

// Both kinds of timer keep the same rules.
void TestTimer::bothAccuracies()
{
    QTest::addColumn<Timer::Accuracy>("accuracy");
    QTest::newRow("within a millisecond") << Timer::Accuracy::WithinAMillisecond;
    QTest::newRow("on time") << Timer::Accuracy::OnTime;
}

void TestTimer::startOrStopDropsATickAlreadyDue_data()
{
    QTest::addColumn<Timer::Accuracy>("accuracy");
    QTest::addColumn<bool>("restart");
    for (const auto accuracy : {Timer::Accuracy::WithinAMillisecond, Timer::Accuracy::OnTime}) {
        const char *kind = accuracy == Timer::Accuracy::OnTime ? "on time" : "within a millisecond";
        QTest::addRow("start, %s", kind) << accuracy << true;
        QTest::addRow("stop, %s", kind) << accuracy << false;
    }
}

// A send restarts the poll: a tick that fell due while the program was busy
// must not come right after it. The restarted interval is long, so that only
// the old tick could come at once, however slow the machine.
void TestTimer::startOrStopDropsATickAlreadyDue()
{
    QFETCH(Timer::Accuracy, accuracy);
    QFETCH(bool, restart);
    Timer timer(5, nullptr, accuracy);
    timer.setSingleShot(true);
    QSignalSpy ticks(&timer, &Timer::timeout);
    timer.start();
    QThread::msleep(10); // busy: the tick is due, not yet heard
    if (restart)
        timer.start(LongMs);
    else
        timer.stop();
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    QCOMPARE(ticks.size(), 0);
    QCOMPARE(timer.isActive(), restart);
    if (!restart)
        return;
    timer.setInterval(5); // and it still ticks, once
    QTRY_COMPARE_WITH_TIMEOUT(ticks.size(), 1, GenerousMs);
}

void TestTimer::singleShotTicksOnce()
{
    QFETCH(Timer::Accuracy, accuracy);
    Timer timer(2, nullptr, accuracy);
    timer.setSingleShot(true);
    QSignalSpy ticks(&timer, &Timer::timeout);
    timer.start();
    QVERIFY(timer.isActive());
    QTRY_COMPARE_WITH_TIMEOUT(ticks.size(), 1, GenerousMs);
    QVERIFY(!timer.isActive());
    QCOMPARE(timer.remainingTime(), -1);
    QTest::qWait(20);
    QCOMPARE(ticks.size(), 1);
}

void TestTimer::setIntervalRestartsARunningTimer()
{
    QFETCH(Timer::Accuracy, accuracy);
    Timer timer(200, nullptr, accuracy);
    QSignalSpy ticks(&timer, &Timer::timeout);
    timer.setInterval(5);
    QVERIFY(!timer.isActive()); // a stopped timer stays stopped
    timer.start(200);
    timer.setInterval(5);
    QCOMPARE(timer.interval(), 5);
    QVERIFY(timer.remainingTime() <= 5);
    QTRY_VERIFY_WITH_TIMEOUT(ticks.size() >= 2, GenerousMs); // and it repeats
}

void TestTimer::enablingARunningTimerChangesNothing()
{
    QFETCH(Timer::Accuracy, accuracy);
    Timer timer(LongMs, nullptr, accuracy);
    timer.setEnabled(true);
    QThread::msleep(200); // far more than the program takes between two lines
    timer.setEnabled(true);
    const int left = timer.remainingTime();
    QVERIFY2(left <= LongMs - 200, qPrintable(QString::number(left)));
    timer.setEnabled(false);
    timer.setEnabled(true); // off and on: a fresh interval
    QVERIFY2(timer.remainingTime() > left, qPrintable(QString::number(timer.remainingTime())));
}

QTEST_GUILESS_MAIN(TestTimer)
#include "tst_timer.moc"
