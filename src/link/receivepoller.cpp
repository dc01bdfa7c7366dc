#include "link/rtuframe.h"
#include "shared/counter.h"
#include "window/colors.h"
#include "window/frmserial.h"
#include "window/lamp.h"
#include "window/serialport.h"

#include <QLineEdit>

// Takes in whatever the board sent since the last tick. A failure ends the
// tick silently: the next tick simply tries again.
void frmSerial::receivePollTick()
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
        Pic->setFillColor(Colour::toQColor(Colour::Red));
        if (Check1Value() == 1) {
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
void frmSerial::blinkLamp()
{
    increment(state.BlinkTicks);
    if (state.BlinkTicks < 10)
        return;
    state.BlinkTicks = 0;
    const bool white = Pic->fillColor() == Colour::toQColor(Colour::White);
    Pic->setFillColor(Colour::toQColor(white ? Colour::Grey : Colour::White));
}

void frmSerial::takeRtuReply()
{
    if (!state.RxBuffer.collect(state.RxText))
        return; // more is on its way
    const RtuReceiver::Verdict verdict = state.RxBuffer.examine(addressByte(Text1->text()));
    switch (verdict.kind) {
    case RtuReceiver::Verdict::Wait:
        return;
    case RtuReceiver::Verdict::AddressError:
        Text8->setText(QStringLiteral("Error ADDR  >> ") + QString::fromLatin1(state.RxText));
        return;
    case RtuReceiver::Verdict::CommandError:
        Text8->setText(QStringLiteral("Error CMD  >> ") + QString::fromLatin1(state.RxText));
        return;
    case RtuReceiver::Verdict::Reply:
        state.RxText = verdict.reply;
        Com_Parser();
        state.RxBuffer.clear();
        return;
    }
}
