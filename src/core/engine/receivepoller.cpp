#include "engine/engine.h"
#include "engine/timer.h"
#include "link/rtuframe.h"
#include "shared/counter.h"

#include <QScopeGuard>

// m_pollTimer's tick, when the poll's schedule (pollschedule.h) has it: awake
// every 20 ms, asleep until the lamp's next blink while nothing comes. The
// lamp blinks, replies are taken and a lost device is seen on the same 20 ms
// ticks as before, with a tenth of the wake-ups.
void Engine::pollTimerFired()
{
    // The ticks slept through still count for the blink.
    state.blinkTicks = qint16(state.blinkTicks + m_pollSchedule.tick());
    const bool nothingWaiting = m_port->charactersWaiting() == 0;
    receivePollTick();
    if (!m_pollTimer->isEnabled())
        return; // the port was lost and closed
    if (const std::optional<int> next = m_pollSchedule.afterTick(nothingWaiting, state.blinkTicks))
        m_pollTimer->start(*next);
    watchArrivals();
}

void Engine::startPoll()
{
    if (m_pollTimer->isEnabled())
        return;
    m_pollSchedule.start();
    m_pollTimer->setInterval(m_pollSchedule.intervalMs());
    m_pollTimer->setEnabled(true);
    watchArrivals();
}

// A send puts the next poll one whole interval off, awake.
void Engine::restartPoll()
{
    if (!m_pollTimer->isEnabled())
        return;
    state.blinkTicks = qint16(state.blinkTicks + m_pollSchedule.restart());
    m_pollTimer->start(m_pollSchedule.intervalMs());
    watchArrivals();
}

// Bytes came in while the poll slept: it wakes on the next tick of its 20 ms.
void Engine::wakePoll()
{
    if (!m_pollTimer->isEnabled())
        return;
    if (const std::optional<int> next = m_pollSchedule.wake())
        m_pollTimer->start(*next);
    watchArrivals();
}

// Bytes coming in matter to the reply pace and to a sleeping poll. An awake
// poll at the poll pace takes them on its next tick anyway: the port need not
// wake the program for them as well.
void Engine::watchArrivals()
{
    m_port->setArrivalWatched(m_pace == Pace::Reply || !m_pollTimer->isEnabled() ||
                              m_pollSchedule.asleep());
}

// Takes in whatever the board sent since the last tick. A failure ends the
// tick silently: the next tick simply tries again.
void Engine::receivePollTick()
{
    state.reply.clear();
    if (m_port->isLost()) {
        portLost();
        return;
    }
    try {
        countQuietTick();
        takeReplies();
    } catch (const std::exception &) {
    }
}

// Reply pace: bytes came in. A reply is taken as soon as it is whole (for
// plain text, ended by CR LF or followed by a quiet line), then the next line
// goes out at once, after the gap if one is set.
void Engine::bytesArrived()
{
    if (m_pace != Pace::Reply)
        return;
    const bool whole = m_rtu || m_port->peekWaiting().endsWith("\r\n");
    const int wait = whole ? m_replyGapMs : qMax(m_replyGapMs, JobTiming::QuietLineMs);
    if (wait > 0) {
        m_replyGapTimer->start(wait); // counted from the last byte in
        return;
    }
    takeRepliesNow();
}

// A receive poll without the lamp's blink, on the spot; fails as silently.
void Engine::takeRepliesNow()
{
    state.reply.clear();
    try {
        takeReplies();
    } catch (const std::exception &) {
    }
}

// Reads what has come and hands on every reply in it, in the order they
// came: in RTU mode the frames for us, in plain mode the reply lines.
void Engine::takeReplies()
{
    {
        m_handingOn = true;
        const auto handedOn = qScopeGuard([this] { m_handingOn = false; });
        const qint16 waiting = m_port->charactersWaiting();
        if (waiting == 0) {
            settleReply();
        } else {
            const QByteArray received = m_port->readWaiting();
            emit bytesReceived(received);
            if (m_rtu) {
                takeRtuReplies(received);
            } else {
                state.plainReplies.collect(received);
                takePlainReplies();
            }
        }
    }
    doWhatRepliesCalledFor();
}

// A frame that no reply asked for (a probe, a command, a line sent again)
// must not have a reply that came before it taken for its answer: what has
// come is handed on first.
void Engine::takeWaitingReplies()
{
    if (m_port->isOpen() && m_port->charactersWaiting() > 0)
        takeRepliesNow();
}

// What a reply calls for (the next line, an event a face may answer with a
// command of its own, a message) runs at once; while the replies of one read
// are handed on, it waits until the last of them has been acted on. So a
// reply that is here already is never taken for the answer to a frame sent
// after it, and nothing is sent from the middle of them.
void Engine::afterReplies(std::function<void()> step)
{
    if (m_handingOn)
        m_afterReplies.append(std::move(step));
    else
        step();
}

void Engine::doWhatRepliesCalledFor()
{
    const QList<std::function<void()>> steps = std::exchange(m_afterReplies, {});
    if (std::exchange(m_lineDue, false))
        sendNextLine();
    for (const std::function<void()> &step : steps)
        step();
}

// Every tenth tick on a quiet line: the window blinks its lamp by it.
void Engine::countQuietTick()
{
    increment(state.blinkTicks);
    if (state.blinkTicks < PollSchedule::TicksPerBlink)
        return;
    state.blinkTicks = 0;
    emit lineQuiet();
}

// A quiet line settles a reply kept waiting: an RTU frame for a last zero
// byte, a plain version for its line end.
void Engine::settleReply()
{
    const std::optional<QByteArray> reply =
        m_rtu ? state.rtuReplies.settle(addressByte(m_address)) : state.plainReplies.settle();
    if (!reply)
        return;
    state.reply = *reply;
    dispatchReply();
}

// Every frame for us in what was collected, in turn; bytes after a frame
// stay for the next one. A rejected frame shows this read's bytes.
void Engine::takeRtuReplies(const QByteArray &received)
{
    if (!state.rtuReplies.collect(received))
        return; // more is on its way
    while (state.rtuReplies.examinable()) {
        const RtuReceiver::Verdict verdict = state.rtuReplies.examine(addressByte(m_address));
        switch (verdict.kind) {
        case RtuReceiver::Verdict::Wait:
            return;
        case RtuReceiver::Verdict::AddressError:
            emit frameRejected(RejectedFrame::OtherAddress, received);
            return;
        case RtuReceiver::Verdict::CommandError:
            emit frameRejected(RejectedFrame::CommandError, received);
            return;
        case RtuReceiver::Verdict::Reply:
            state.reply = verdict.reply;
            dispatchReply();
            break;
        }
    }
}

// A line still on its way is shown as it stands; only acting on it waits
// for its end.
void Engine::takePlainReplies()
{
    while (const std::optional<QByteArray> reply = state.plainReplies.next()) {
        state.reply = *reply;
        dispatchReply();
    }
    if (const QByteArray &unfinished = state.plainReplies.pending(); !unfinished.isEmpty())
        emit partialReplyRead(unfinished);
}
