#include "engine/pollschedule.h"

#include <QTest>

#include <optional>

// The poll's schedule on a clock moved by hand.
class TestPollSchedule : public QObject {
    Q_OBJECT
private slots:
    void tickCountsTheTicksSleptThrough_data();
    void tickCountsTheTicksSleptThrough();
    void nothingWaitingSleepsUntilTheBlink_data();
    void nothingWaitingSleepsUntilTheBlink();
    void sendRestartsAWholeIntervalAwake_data();
    void sendRestartsAWholeIntervalAwake();
    void bytesWakeASleepingPollOnItsBeat_data();
    void bytesWakeASleepingPollOnItsBeat();
    void lampBlinksEveryTenthTickOnFewWakeUps_data();
    void lampBlinksEveryTenthTickOnFewWakeUps();
};

// The engine's side of the schedule, as receivepoller.cpp does it: a timer
// that repeats at the interval it was last started with, the lamp's blink
// counter, and bytes that wait until a tick takes them.
struct PolledLine {
    qint64 now = 0;
    PollSchedule schedule{[this] { return now; }};
    qint64 nextTick = 0;
    int blinkTicks = 0;
    bool bytesWaiting = false;
    QList<qint64> ticks;
    QList<qint64> blinks;

    PolledLine()
    {
        schedule.start();
        nextTick = schedule.intervalMs();
    }

    void tick()
    {
        now = nextTick;
        ticks << now;
        blinkTicks += schedule.tick() + 1;
        if (blinkTicks >= PollSchedule::TicksPerBlink) {
            blinkTicks = 0;
            blinks << now;
        }
        const bool nothingWaiting = !bytesWaiting;
        bytesWaiting = false;
        const std::optional<int> next = schedule.afterTick(nothingWaiting, blinkTicks);
        nextTick = now + next.value_or(schedule.intervalMs());
    }

    // Events ('b' bytes in, 's' a send) at their times, the ticks between them.
    void run(const QList<QPair<qint64, char>> &events, qint64 endMs)
    {
        for (const auto &[at, what] : events) {
            while (nextTick <= at)
                tick();
            now = at;
            if (what == 'b') {
                bytesWaiting = true;
                if (const std::optional<int> next = schedule.wake())
                    nextTick = now + *next;
            } else {
                blinkTicks += schedule.restart();
                nextTick = now + schedule.intervalMs();
            }
        }
        while (nextTick <= endMs)
            tick();
    }
};

PollSchedule scheduleAt(qint64 *now)
{
    PollSchedule schedule([now] { return *now; });
    schedule.start();
    return schedule;
}

void TestPollSchedule::tickCountsTheTicksSleptThrough_data()
{
    QTest::addColumn<qint64>("sinceLastMs");
    QTest::addColumn<int>("slept");
    QTest::newRow("woken at once") << qint64(3) << 0;
    QTest::newRow("on time") << qint64(20) << 0;
    QTest::newRow("a little late") << qint64(27) << 0;
    QTest::newRow("nearer the next beat") << qint64(31) << 1;
    QTest::newRow("asleep until the blink, after the first tick") << qint64(180) << 8;
    QTest::newRow("asleep from one blink to the next") << qint64(200) << 9;
}

void TestPollSchedule::tickCountsTheTicksSleptThrough()
{
    QFETCH(qint64, sinceLastMs);
    QFETCH(int, slept);
    qint64 now = 1000;
    PollSchedule schedule = scheduleAt(&now);
    now += sinceLastMs;
    QCOMPARE(schedule.tick(), slept);
    now += PollSchedule::PollMs;
    QCOMPARE(schedule.tick(), 0); // counted from the tick, not from the start
}

void TestPollSchedule::nothingWaitingSleepsUntilTheBlink_data()
{
    QTest::addColumn<bool>("nothingWaiting");
    QTest::addColumn<int>("blinkTicks");
    QTest::addColumn<int>("interval");
    QTest::newRow("bytes waiting: awake") << false << 3 << 20;
    QTest::newRow("nothing, one tick after the blink") << true << 1 << 180;
    QTest::newRow("nothing, on the blink") << true << 0 << 200;
    QTest::newRow("nothing, the blink is the next tick") << true << 9 << 20;
}

void TestPollSchedule::nothingWaitingSleepsUntilTheBlink()
{
    QFETCH(bool, nothingWaiting);
    QFETCH(int, blinkTicks);
    QFETCH(int, interval);
    qint64 now = 0;
    PollSchedule schedule = scheduleAt(&now);
    now = 20;
    schedule.tick();
    const std::optional<int> next = schedule.afterTick(nothingWaiting, blinkTicks);
    QCOMPARE(schedule.intervalMs(), interval);
    QCOMPARE(schedule.asleep(), interval > 20);
    // The timer is started anew only when its interval changes.
    QCOMPARE(next.has_value(), interval != 20);
    QCOMPARE(schedule.afterTick(nothingWaiting, blinkTicks), std::optional<int>());
}

void TestPollSchedule::sendRestartsAWholeIntervalAwake_data()
{
    QTest::addColumn<bool>("asleep");
    QTest::addColumn<qint64>("sinceTickMs");
    QTest::addColumn<int>("counted");
    QTest::newRow("awake") << false << qint64(15) << 0;
    QTest::newRow("asleep, within the first beat") << true << qint64(15) << 0;
    QTest::newRow("asleep, three beats gone") << true << qint64(65) << 3;
}

void TestPollSchedule::sendRestartsAWholeIntervalAwake()
{
    QFETCH(bool, asleep);
    QFETCH(qint64, sinceTickMs);
    QFETCH(int, counted);
    qint64 now = 0;
    PollSchedule schedule = scheduleAt(&now);
    now = 20;
    schedule.tick();
    schedule.afterTick(asleep, 1);
    now += sinceTickMs;
    QCOMPARE(schedule.restart(), counted);
    QCOMPARE(schedule.intervalMs(), 20);
    QVERIFY(!schedule.asleep());
    now += 20;
    QCOMPARE(schedule.tick(), 0); // the next tick is counted from the send
}

void TestPollSchedule::bytesWakeASleepingPollOnItsBeat_data()
{
    QTest::addColumn<qint64>("sinceTickMs");
    QTest::addColumn<int>("wait");
    QTest::newRow("early in a beat") << qint64(3) << 17;
    QTest::newRow("late in the fourth beat") << qint64(75) << 5;
    QTest::newRow("right on a beat: the next one") << qint64(80) << 20;
}

void TestPollSchedule::bytesWakeASleepingPollOnItsBeat()
{
    QFETCH(qint64, sinceTickMs);
    QFETCH(int, wait);
    qint64 now = 0;
    PollSchedule schedule = scheduleAt(&now);
    QCOMPARE(schedule.wake(), std::optional<int>()); // awake: the next tick comes anyway
    now = 20;
    schedule.tick();
    schedule.afterTick(true, 1);
    now += sinceTickMs;
    QCOMPARE(schedule.wake(), std::optional<int>(wait));
    QVERIFY(!schedule.asleep());
    QCOMPARE(schedule.wake(), std::optional<int>()); // more bytes: the same tick
}

void TestPollSchedule::lampBlinksEveryTenthTickOnFewWakeUps_data()
{
    using Events = QList<QPair<qint64, char>>;
    using Times = QList<qint64>;
    QTest::addColumn<Events>("events");
    QTest::addColumn<Times>("ticks");
    QTest::addColumn<Times>("blinks");
    QTest::newRow("idle") << Events{} << Times{20, 200, 400, 600, 800, 1000}
                          << Times{200, 400, 600, 800, 1000};
    // Taken on the beat the poll would have ticked on, then one more tick
    // awake; the blink stays where it was.
    QTest::newRow("bytes while asleep")
        << Events{{95, 'b'}} << Times{20, 100, 120, 200, 400, 600, 800, 1000}
        << Times{200, 400, 600, 800, 1000};
    QTest::newRow("bytes twice before the tick")
        << Events{{95, 'b'}, {97, 'b'}} << Times{20, 100, 120, 200, 400, 600, 800, 1000}
        << Times{200, 400, 600, 800, 1000};
    // A send starts the beat afresh: the blink is still every tenth tick of it.
    QTest::newRow("a send while asleep")
        << Events{{50, 's'}} << Times{20, 70, 210, 410, 610, 810} << Times{210, 410, 610, 810};
    QTest::newRow("a send and its reply")
        << Events{{50, 's'}, {52, 'b'}} << Times{20, 70, 90, 210, 410, 610, 810}
        << Times{210, 410, 610, 810};
}

void TestPollSchedule::lampBlinksEveryTenthTickOnFewWakeUps()
{
    using Events = QList<QPair<qint64, char>>;
    using Times = QList<qint64>;
    QFETCH(Events, events);
    QFETCH(Times, ticks);
    QFETCH(Times, blinks);
    PolledLine line;
    line.run(events, 1000);
    QCOMPARE(line.ticks, ticks);
    QCOMPARE(line.blinks, blinks);
}

QTEST_GUILESS_MAIN(TestPollSchedule)
#include "tst_pollschedule.moc"
