#include "engine/timer.h"

#include "engine/handclock.h"

#include <QSocketNotifier>
#include <QTimer>

#include <utility>

#ifdef Q_OS_LINUX
#include <sys/timerfd.h>
#include <unistd.h>

#include <cstdint>
#endif

// Calls the timer's ring() when its time has come: a kernel timer read through
// the event loop when on time is asked for and Linux has one to give, and a
// precise QTimer otherwise.
class Timer::Alarm {
public:
    Alarm(Timer *owner, Accuracy accuracy);
    ~Alarm();
    Alarm(const Alarm &) = delete;
    Alarm &operator=(const Alarm &) = delete;

    void set(int ms, bool repeating); // replaces what was set, and a ring not yet heard
    void clear();
    // A Qt timer set once that rings no later than ms from now: it may be
    // kept instead of set anew. Never a kernel timer, whose lateness matters.
    bool ringsOnceWithin(int ms) const;
    bool mayBeKept() const { return m_fd < 0; }

private:
    int m_fd = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
    QTimer m_fallback;
};

Timer::Alarm::Alarm(Timer *owner, Accuracy accuracy)
{
    m_fallback.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_fallback, &QTimer::timeout, owner, &Timer::ring);
    if (accuracy != Accuracy::OnTime)
        return;
#ifdef Q_OS_LINUX
    m_fd = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (m_fd < 0)
        return;
    m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, owner, [this, owner] {
        std::uint64_t expirations = 0;
        // Nothing to read when the alarm was set anew after it went off.
        if (::read(m_fd, &expirations, sizeof expirations) == sizeof expirations)
            owner->ring();
    });
#endif
}

Timer::Alarm::~Alarm()
{
#ifdef Q_OS_LINUX
    m_notifier.reset();
    if (m_fd >= 0)
        ::close(m_fd);
#endif
}

void Timer::Alarm::set(int ms, bool repeating)
{
#ifdef Q_OS_LINUX
    if (m_fd >= 0) {
        constexpr long NsPerMs = 1'000'000;
        const timespec every{ms / 1000, (ms % 1000) * NsPerMs};
        itimerspec when{};
        when.it_value = ms > 0 ? every : timespec{0, 1}; // all zero would switch it off
        if (repeating)
            when.it_interval = every;
        ::timerfd_settime(m_fd, 0, &when, nullptr);
        return;
    }
#endif
    m_fallback.setSingleShot(!repeating);
    m_fallback.start(ms);
}

bool Timer::Alarm::ringsOnceWithin(int ms) const
{
    return mayBeKept() && m_fallback.isActive() && m_fallback.isSingleShot() &&
           m_fallback.remainingTime() <= ms;
}

void Timer::Alarm::clear()
{
#ifdef Q_OS_LINUX
    if (m_fd >= 0) {
        const itimerspec off{};
        ::timerfd_settime(m_fd, 0, &off, nullptr);
        return;
    }
#endif
    m_fallback.stop();
}

Timer::Timer(int intervalMs, QObject *parent, Accuracy accuracy)
    : QObject(parent), m_intervalMs(intervalMs), m_alarm(std::make_unique<Alarm>(this, accuracy)),
      m_hand(HandClock::current())
{
    if (m_hand)
        m_hand->add(this);
}

Timer::~Timer()
{
    if (m_hand)
        m_hand->remove(this);
}

// The reply watch starts on every line and stops on every reply: setting and
// killing a Qt timer twice a line. A one-off alarm that is set already and
// rings no later is kept instead; ringing early, it is set for what is left.
void Timer::start()
{
    m_active = true;
    if (m_hand) {
        m_dueAtMs = m_hand->nowMs() + m_intervalMs;
        return;
    }
    m_nextTick.setRemainingTime(m_intervalMs, Qt::PreciseTimer);
    m_alarmEarly = m_singleShot && m_alarm->ringsOnceWithin(m_intervalMs);
    if (!m_alarmEarly)
        m_alarm->set(m_intervalMs, !m_singleShot);
}

void Timer::start(int intervalMs)
{
    m_intervalMs = intervalMs;
    start();
}

void Timer::stop()
{
    m_active = false;
    if (m_hand)
        return;
    if (!(m_singleShot && m_alarm->mayBeKept()))
        m_alarm->clear(); // a kept alarm rings to no one, or is kept by the next start
}

void Timer::setInterval(int intervalMs)
{
    m_intervalMs = intervalMs;
    if (m_active)
        start();
}

int Timer::remainingTime() const
{
    if (!m_active)
        return -1;
    return m_hand ? int(m_dueAtMs - m_hand->nowMs()) : int(m_nextTick.remainingTime());
}

void Timer::setEnabled(bool enabled)
{
    if (!enabled)
        stop();
    else if (!isActive())
        start();
}

void Timer::ring()
{
    if (!m_active)
        return;
    if (std::exchange(m_alarmEarly, false)) {
        m_alarm->set(int(m_nextTick.remainingTime()), false);
        return;
    }
    if (m_singleShot)
        m_active = false;
    else
        m_nextTick.setRemainingTime(m_intervalMs, Qt::PreciseTimer);
    emit timeout();
}

void Timer::ringByHand()
{
    if (m_singleShot)
        m_active = false;
    else
        m_dueAtMs += qMax(1, m_intervalMs); // a zero interval would ring for ever
    emit timeout();
}
