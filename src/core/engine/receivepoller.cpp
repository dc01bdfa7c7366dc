#include "engine/engine.h"
#include "engine/panelcolours.h"
#include "engine/timer.h"
#include "link/rtuframe.h"
#include "shared/counter.h"

namespace {

// A plain reply without its CR LF is taken once the line has been quiet for
// this long: a few character times, as near as a timer gets.
constexpr int QuietLineMs = 2;

} // namespace

// TMRComm's tick, when the poll's schedule (pollschedule.h) has it: awake
// every 20 ms, asleep until the lamp's next blink while nothing comes. The
// lamp blinks, replies are taken and a lost device is seen on the same 20 ms
// ticks as before, with a tenth of the wake-ups.
void Engine::pollTimerFired()
{
    // The ticks slept through still count for the blink.
    state.BlinkTicks = qint16(state.BlinkTicks + m_pollSchedule.tick());
    const bool nothingWaiting = MSComm1->charactersWaiting() == 0;
    receivePollTick();
    if (!TMRComm->isEnabled())
        return; // the port was lost and closed
    if (const std::optional<int> next = m_pollSchedule.afterTick(nothingWaiting, state.BlinkTicks))
        TMRComm->start(*next);
    watchArrivals();
}

void Engine::startPoll()
{
    if (TMRComm->isEnabled())
        return;
    m_pollSchedule.start();
    TMRComm->setInterval(m_pollSchedule.intervalMs());
    TMRComm->setEnabled(true);
    watchArrivals();
}

// A send puts the next poll one whole interval off, awake.
void Engine::restartPoll()
{
    if (!TMRComm->isEnabled())
        return;
    state.BlinkTicks = qint16(state.BlinkTicks + m_pollSchedule.restart());
    TMRComm->start(m_pollSchedule.intervalMs());
    watchArrivals();
}

// Bytes came in while the poll slept: it wakes on the next tick of its 20 ms.
void Engine::wakePoll()
{
    if (!TMRComm->isEnabled())
        return;
    if (const std::optional<int> next = m_pollSchedule.wake())
        TMRComm->start(*next);
    watchArrivals();
}

// Bytes coming in matter to the reply pace and to a sleeping poll. An awake
// poll at the poll pace takes them on its next tick anyway: the port need not
// wake the program for them as well.
void Engine::watchArrivals()
{
    MSComm1->setArrivalWatched(m_pace == Pace::Reply || !TMRComm->isEnabled() ||
                               m_pollSchedule.asleep());
}

// Takes in whatever the board sent since the last tick. A failure ends the
// tick silently: the next tick simply tries again.
void Engine::receivePollTick()
{
    state.RxText.clear();
    if (MSComm1->isLost()) {
        portLost();
        return;
    }
    try {
        blinkLamp();
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
    const bool whole = m_rtu == 1 || MSComm1->peekWaiting().endsWith("\r\n");
    const int wait = whole ? m_replyGapMs : qMax(m_replyGapMs, QuietLineMs);
    if (wait > 0) {
        m_replyGapTimer->start(wait); // counted from the last byte in
        return;
    }
    takeRepliesNow();
}

// A receive poll without the lamp's blink, on the spot; fails as silently.
void Engine::takeRepliesNow()
{
    state.RxText.clear();
    try {
        takeReplies();
    } catch (const std::exception &) {
    }
}

// Reads what has come and hands on the replies in it: in RTU mode a whole
// frame for us, in plain mode the text as it came, joined to what was kept.
void Engine::takeReplies()
{
    const qint16 LastResult = MSComm1->charactersWaiting();
    if (LastResult == 0) {
        settleRtuReply();
        return;
    }
    state.RxText = MSComm1->readWaiting();
    emit bytesReceived(state.RxText);
    setLampColour(Colour::Red);
    if (m_rtu == 1) {
        takeRtuReply();
    } else {
        state.RxText = state.PlainReplies.join(state.RxText);
        dispatchReply();
        state.RxBuffer.clear();
    }
}

// White and grey take turns every tenth tick; any other colour gives way to white.
void Engine::blinkLamp()
{
    increment(state.BlinkTicks);
    if (state.BlinkTicks < PollSchedule::TicksPerBlink)
        return;
    state.BlinkTicks = 0;
    setLampColour(m_lampColour == Colour::White ? Colour::Grey : Colour::White);
}

// A quiet line settles a reply that was kept waiting for a last zero byte.
void Engine::settleRtuReply()
{
    if (m_rtu != 1)
        return;
    const std::optional<QByteArray> reply = state.RxBuffer.settle(addressByte(m_address));
    if (!reply)
        return;
    state.RxText = *reply;
    dispatchReply();
    state.RxBuffer.clear();
}

void Engine::takeRtuReply()
{
    if (!state.RxBuffer.collect(state.RxText))
        return; // more is on its way
    const RtuReceiver::Verdict verdict = state.RxBuffer.examine(addressByte(m_address));
    switch (verdict.kind) {
    case RtuReceiver::Verdict::Wait:
        return;
    case RtuReceiver::Verdict::AddressError:
        setAnswer(QStringLiteral("Error ADDR  >> ") + QString::fromLatin1(state.RxText));
        return;
    case RtuReceiver::Verdict::CommandError:
        setAnswer(QStringLiteral("Error CMD  >> ") + QString::fromLatin1(state.RxText));
        return;
    case RtuReceiver::Verdict::Reply:
        state.RxText = verdict.reply;
        dispatchReply();
        state.RxBuffer.clear();
        return;
    }
}
