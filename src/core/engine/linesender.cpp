#include "engine/engine.h"
#include "engine/timer.h"
#include "protocol/commands.h"
#include "shared/counter.h"

#include <utility>

namespace {

// Once a line is overdue, the notice counts on in steps of this.
constexpr int NoticeEveryMs = 1000;

} // namespace

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
        m_verifyLedger.lineSent(state.LineIndex, form == Command::LineForm::Verify,
                                state.LineCount);
        watchReplyTo(state.LineIndex, command);
    }
    setProgressPosition(state.LineIndex);
    if (state.LineIndex == state.LineCount)
        state.LineIndex = 0;
}

// A fresh wait for the reply to a line that has just gone out.
void Engine::watchReplyTo(qint16 line, const QByteArray &command)
{
    state.AwaitedLine = line;
    state.AwaitedCommand = command;
    m_lastLineAnsweredOk = false;
    m_repliesOwed = 1;
    m_heldReply.reset();
    m_unansweredMs = 0;
    m_sinceLineSent.start();
    ReplyWatch->start(m_replyTimeoutMs);
}

// No resend here: a lost line and a lost reply look the same from here, and
// the board may only be busy. Saying so, and how long it has been, lets the
// operator decide.
void Engine::replyOverdue()
{
    if (m_heldReply) { // the line was sent again, and only one answer came: it stands
        m_repliesOwed = 0;
        state.RxText = *std::exchange(m_heldReply, std::nullopt);
        Com_Parser();
        return;
    }
    const bool firstNotice = m_unansweredMs == 0;
    m_unansweredMs += firstNotice ? m_replyTimeoutMs : NoticeEveryMs;
    const QString pass =
        state.VerifyMode == 1 ? QStringLiteral("verify line") : QStringLiteral("line");
    setAnswer(QStringLiteral("No reply to %1 %2 of %3 for %4 s%5")
                  .arg(pass)
                  .arg(state.AwaitedLine)
                  .arg(state.LineCount)
                  .arg(m_unansweredMs / 1000.0)
                  .arg(m_lastLineAnsweredOk
                           ? QStringLiteral(": the board answered OK, not DOWNLOAD")
                           : QString()));
    ReplyWatch->start(NoticeEveryMs);
    if (firstNotice)
        emit lineUnanswered(state.AwaitedLine);
}

// The awaited line again, byte for byte. Both sendings may be answered.
void Engine::resendLine()
{
    QByteArray frame = state.AwaitedCommand;
    if (WriteCOM32(frame) > 0) {
        ++m_repliesOwed;
        m_unansweredMs = 0;
        ReplyWatch->start(m_replyTimeoutMs);
    }
}

void Engine::setReplyTimeout(int ms)
{
    m_replyTimeoutMs = ms;
    ReplyWatch->setInterval(ms);
}
