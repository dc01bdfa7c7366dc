#pragma once

#include <QDeadlineTimer>
#include <QObject>

#include <memory>

class HandClock;

// The engine's timers, and the window's that tests move by hand. Each is
// switched on and off like a light: enabling a stopped timer starts a fresh
// interval, enabling a running one changes nothing, and disabling then
// enabling restarts the interval.
//
// Qt rounds every wait up to a whole millisecond, counted from the moment the
// event loop last went to sleep: a board's reply wakes it just after each
// send, so a 20 ms poll ticked after 20.5 ms on average. An on-time timer is
// a kernel timer, which wakes the loop within some tens of microseconds of
// its deadline and never before it, at the cost of a system call each time
// it is set; so only the poll, whose lateness every line pays, has one.
//
// A timer made while a HandClock lives rings when the test moves that clock.
class Timer : public QObject {
    Q_OBJECT
public:
    enum class Accuracy { WithinAMillisecond, OnTime };

    Timer(int intervalMs, QObject *parent, Accuracy accuracy = Accuracy::WithinAMillisecond);
    ~Timer() override;

    void start(); // a fresh interval from now, also when running
    void start(int intervalMs);
    void stop();
    void setInterval(int intervalMs); // a running timer starts afresh with it
    int interval() const { return m_intervalMs; }
    void setSingleShot(bool singleShot) { m_singleShot = singleShot; }
    bool isActive() const { return m_active; }
    int remainingTime() const; // ms to the next tick; -1 when stopped

    void setEnabled(bool enabled);
    bool isEnabled() const { return isActive(); }

signals:
    void timeout();

private:
    friend class HandClock;
    class Alarm;
    void ring();
    void ringByHand();

    int m_intervalMs;
    bool m_singleShot = false;
    bool m_active = false;
    bool m_alarmEarly = false; // the alarm was kept from before the last start
    QDeadlineTimer m_nextTick;
    std::unique_ptr<Alarm> m_alarm;
    HandClock *m_hand;    // none: the system's clock
    qint64 m_dueAtMs = 0; // on the hand's clock
};
