#include "engine/engine.h"
#include "engine/panelcolours.h"
#include "link/rtuframe.h"
#include "shared/counter.h"

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
        const qint16 LastResult = MSComm1->charactersWaiting();
        if (LastResult == 0)
            return;
        state.RxText = MSComm1->readWaiting();
        emit bytesReceived(state.RxText);
        setLampColour(Colour::Red);
        if (m_rtu == 1) {
            takeRtuReply();
        } else {
            state.RxText = state.PlainReplies.join(state.RxText);
            Com_Parser();
            state.RxBuffer.clear();
        }
    } catch (const std::exception &) {
    }
}

// White and grey take turns every tenth tick; any other colour gives way to white.
void Engine::blinkLamp()
{
    increment(state.BlinkTicks);
    if (state.BlinkTicks < 10)
        return;
    state.BlinkTicks = 0;
    setLampColour(m_lampColour == Colour::White ? Colour::Grey : Colour::White);
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
        Com_Parser();
        state.RxBuffer.clear();
        return;
    }
}
