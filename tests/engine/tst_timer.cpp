#include "engine/timer.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QSignalSpy>
#include <QSocketNotifier>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <thread>
#include <unistd.h>

// Real time throughout, each case well under half a second.
class TestTimer : public QObject {
    Q_OBJECT
private slots:
    void tickIsOnTimeThoughTheLoopWokeBefore();
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
};

// Both kinds of timer keep the same rules.
void TestTimer::bothAccuracies()
{
    QTest::addColumn<Timer::Accuracy>("accuracy");
    QTest::newRow("within a millisecond") << Timer::Accuracy::WithinAMillisecond;
    QTest::newRow("on time") << Timer::Accuracy::OnTime;
}

// Each round is a send: the timer starts, and half a millisecond later a
// reply wakes the event loop, as a board's does. Qt's own timers then tick up
// to a whole millisecond late.
void TestTimer::tickIsOnTimeThoughTheLoopWokeBefore()
{
    int pipeEnds[2];
    QVERIFY(::pipe(pipeEnds) == 0);
    QSocketNotifier reply(pipeEnds[0], QSocketNotifier::Read);
    connect(&reply, &QSocketNotifier::activated, this, [&] {
        char byte = 0;
        QVERIFY(::read(pipeEnds[0], &byte, 1) == 1);
    });
    Timer poll(20, nullptr, Timer::Accuracy::OnTime);
    poll.setSingleShot(true);
    QElapsedTimer sinceStart;
    QList<double> delaysMs;
    QEventLoop loop;
    connect(&poll, &Timer::timeout, this, [&] {
        delaysMs << sinceStart.nsecsElapsed() / 1e6;
        loop.quit();
    });
    QTimer guard; // against a tick that never comes
    guard.setInterval(1000);
    connect(&guard, &QTimer::timeout, &loop, &QEventLoop::quit);
    for (int round = 0; round < 11; ++round) {
        sinceStart.start();
        poll.start();
        bool replied = false;
        std::thread board([&] {
            std::this_thread::sleep_for(std::chrono::microseconds(500));
            replied = ::write(pipeEnds[1], "k", 1) == 1;
        });
        guard.start();
        loop.exec();
        board.join();
        QCOMPARE(delaysMs.size(), round + 1);
        QVERIFY(replied);
    }
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
    QVERIFY2(*std::min_element(delaysMs.begin(), delaysMs.end()) >= 20.0, "a tick came early");
    std::sort(delaysMs.begin(), delaysMs.end());
    const double median = delaysMs.at(delaysMs.size() / 2);
    QVERIFY2(median < 20.35, qPrintable(QStringLiteral("median %1 ms").arg(median)));
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
// must not come right after it.
void TestTimer::startOrStopDropsATickAlreadyDue()
{
    QFETCH(Timer::Accuracy, accuracy);
    QFETCH(bool, restart);
    Timer timer(5, nullptr, accuracy);
    timer.setSingleShot(true);
    QSignalSpy ticks(&timer, &Timer::timeout);
    timer.start();
    QThread::msleep(10); // busy: the tick is due, not yet heard
    QElapsedTimer sinceRestart;
    sinceRestart.start();
    if (restart)
        timer.start();
    else
        timer.stop();
    QCoreApplication::processEvents();
    QCOMPARE(ticks.size(), 0);
    if (!restart) {
        QTest::qWait(20);
        QCOMPARE(ticks.size(), 0);
        return;
    }
    QTRY_COMPARE_WITH_TIMEOUT(ticks.size(), 1, 500);
    QVERIFY(sinceRestart.elapsed() >= 5);
}

void TestTimer::singleShotTicksOnce()
{
    QFETCH(Timer::Accuracy, accuracy);
    Timer timer(2, nullptr, accuracy);
    timer.setSingleShot(true);
    QSignalSpy ticks(&timer, &Timer::timeout);
    timer.start();
    QVERIFY(timer.isActive());
    QTRY_COMPARE_WITH_TIMEOUT(ticks.size(), 1, 500);
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
    QTRY_VERIFY_WITH_TIMEOUT(ticks.size() >= 2, 500); // and it repeats
}

void TestTimer::enablingARunningTimerChangesNothing()
{
    QFETCH(Timer::Accuracy, accuracy);
    Timer timer(200, nullptr, accuracy);
    timer.setEnabled(true);
    QThread::msleep(30);
    timer.setEnabled(true);
    QVERIFY2(timer.remainingTime() <= 170, qPrintable(QString::number(timer.remainingTime())));
    timer.setEnabled(false);
    timer.setEnabled(true); // off and on: a fresh interval
    QVERIFY(timer.remainingTime() > 170);
}

QTEST_GUILESS_MAIN(TestTimer)
#include "tst_timer.moc"
