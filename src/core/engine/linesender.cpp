#include "engine/engine.h"
#include "engine/timer.h"
#include "protocol/commands.h"
#include "shared/counter.h"

// Sends the line after the one sent last, wrapping after the last loaded line.
void Engine::sendNextLine()
{
    const Command::LineForm form =
        state.verifying ? Command::LineForm::Verify : Command::LineForm::Download;
    increment(state.lineIndex);
    const QByteArray command = Command::line(state.lines[state.lineIndex], form);
    QByteArray frame = command;
    if (writeFrame(frame) > 0) {
        m_verifyLedger.lineSent(state.lineIndex, form == Command::LineForm::Verify,
                                state.lineCount);
        m_replyWatch.lineSent(state.lineIndex, command);
        m_replyWatchTimer->start(m_policy.replyTimeoutMs);
        ++m_job.linesSent;
        emit lineSent(currentPass(), state.lineIndex);
    }
    emit lineReached(currentPass(), state.lineIndex);
    if (state.lineIndex == state.lineCount)
        state.lineIndex = 0;
}

// The line's answer is overdue: say how long it has been, and do what the
// policy says.
void Engine::replyOverdue()
{
    // Answers were owed together, and not all came: the one held stands.
    if (m_replyWatch.holding()) {
        state.reply = m_replyWatch.takeHeld();
        actOnAnswer();
        return;
    }
    const int unansweredMs = m_replyWatch.overdue(m_policy.replyTimeoutMs);
    emit lineOverdue(currentPass(), m_replyWatch.line(), state.lineCount, unansweredMs,
                     m_replyWatch.lastLineWasAnsweredOk());
    m_replyWatchTimer->start(JobTiming::StallNoticeEveryMs);
    switch (m_policy.whenOverdue(m_replyWatch.firstNotice(), m_replyWatch.sendings())) {
    case JobPolicy::Overdue::NoticeAgain:
        return;
    case JobPolicy::Overdue::Resend:
        resendLine();
        return;
    case JobPolicy::Overdue::SayUnanswered:
        emit lineUnanswered(currentPass(), m_replyWatch.line(), m_replyWatch.sendings());
        return;
    case JobPolicy::Overdue::GiveUp:
        emit lineUnanswered(currentPass(), m_replyWatch.line(), m_replyWatch.sendings());
        m_replyWatchTimer->setEnabled(false);
        endJob(JobResult::Outcome::Unanswered, currentPass());
        return;
    }
}

// The awaited line again, byte for byte. Both sendings may be answered.
void Engine::resendLine()
{
    QByteArray frame = m_replyWatch.command();
    if (writeFrame(frame) <= 0)
        return;
    m_replyWatch.lineResent();
    m_replyWatchTimer->start(m_policy.replyTimeoutMs);
    ++m_job.linesSent;
    ++m_job.resends;
    emit lineResent(currentPass(), m_replyWatch.line(), m_replyWatch.sendings());
}
