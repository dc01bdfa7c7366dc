#include "engine/engine.h"
#include "engine/timer.h"
#include "protocol/commands.h"
#include "shared/counter.h"

// Sends the line after the one sent last, wrapping after the last loaded line.
void Engine::sendNextLine()
{
    const Command::LineForm form =
        state.VerifyMode == 1 ? Command::LineForm::Verify : Command::LineForm::Download;
    if (form == Command::LineForm::Download)
        setProgressText(QStringLiteral("DOWNLOAD"));
    increment(state.LineIndex);
    const QByteArray command = Command::line(state.HexLines[state.LineIndex], form);
    QByteArray frame = command;
    if (WriteCOM32(frame) > 0) {
        state.AwaitedLine = state.LineIndex;
        state.AwaitedCommand = command;
        ReplyWatch->setEnabled(false); // a fresh wait for this line's reply
        ReplyWatch->setEnabled(true);
    }
    setProgressPosition(state.LineIndex);
    if (state.LineIndex == state.LineCount)
        state.LineIndex = 0;
}

// No resend: a lost line and a lost reply look the same from here, and the
// board may only be busy. Saying so lets the operator decide.
void Engine::replyOverdue()
{
    const QString pass =
        state.VerifyMode == 1 ? QStringLiteral("verify line") : QStringLiteral("line");
    setAnswer(QStringLiteral("No reply to %1 %2 of %3 for %4 s")
                  .arg(pass)
                  .arg(state.AwaitedLine)
                  .arg(state.LineCount)
                  .arg(ReplyWatch->interval() / 1000.0));
    emit lineUnanswered(state.AwaitedLine);
}

void Engine::resendLine()
{
    QByteArray frame = state.AwaitedCommand;
    if (WriteCOM32(frame) > 0) {
        ReplyWatch->setEnabled(false);
        ReplyWatch->setEnabled(true);
    }
}

void Engine::setReplyTimeout(int ms)
{
    ReplyWatch->setInterval(ms);
}
