#pragma once

#include <QDeadlineTimer>
#include <QObject>

#include <memory>

// The engine's timers. One is switched on and off like a light: enabling a
// stopped timer starts a fresh interval, enabling a running one changes
// nothing, and disabling then enabling restarts the interval.
//
// Their ticks come on time. Qt rounds every wait up to a whole millisecond,
// counted from the moment the event loop last went to sleep, which made the
// 20 ms receive poll tick after 20.5 ms on average. A kernel timer wakes the
// loop instead, within some tens of microseconds of the deadline, and never
// before it.
class Timer : public QObject {
    Q_OBJECT
public:
    Timer(int intervalMs, QObject *parent);
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
    class Alarm;
    void ring();

    int m_intervalMs;
    bool m_singleShot = false;
    bool m_active = false;
    QDeadlineTimer m_nextTick;
    std::unique_ptr<Alarm> m_alarm;
};
