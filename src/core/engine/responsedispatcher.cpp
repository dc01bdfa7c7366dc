#include "engine/engine.h"
#include "engine/jobfailure.h"
#include "engine/replyaction.h"
#include "engine/timer.h"
#include "protocol/replykeyword.h"

// Shows the board's reply and does what its first keyword calls for
// (ReplyAction). The job events go out in the order things happened; those
// a face may act on with a new command (a board found, a command answered,
// the job's end) go out once the reply has taken effect (afterReplies), so
// that nothing is sent from the middle.
void Engine::actOnReply()
{
    emit replyRead(state.reply);
    const ReplyKeyword keyword = firstReplyKeyword(state.reply);
    const bool probing = m_probeTimer->isEnabled();
    const Pass pass = currentPass();
    const std::optional<DeviceCommand> command = commandAnsweredBy(keyword);
    ReplyAction::Situation situation;
    situation.answersLine = !command && m_jobRunning && keyword != ReplyKeyword::None &&
                            keyword != ReplyKeyword::Version;
    if (situation.answersLine)
        reportLineAnswer(keyword, pass);
    m_verifyLedger.replied(keyword);
    situation.verifying = state.verifying;
    situation.downloadUnderWay = state.downloadRequested && state.downloading;
    situation.lastLineAwaited = lastLineOfPassAwaited(); // before the answer stops the wait
    situation.wholeImageVerified = m_verifyLedger.wholeImageVerified();
    const ReplyAction action = ReplyAction::onReply(keyword, situation);
    if (action.stopReplyWatch)
        m_replyWatchTimer->setEnabled(false);
    showReplyStep(action.step);
    if (action.sendNextLine)
        sendNextLineOnReply();
    if (keyword == ReplyKeyword::Version && probing && !command) {
        m_versionReply = state.reply;
        afterReplies(
            [this, address = m_address, reply = state.reply] { emit boardFound(address, reply); });
    }
    if (command)
        afterReplies([this, command = *command, keyword, reply = state.reply] {
            emit commandAnswered(command, keyword, reply);
        });
    if (action.jobEnd)
        endJob(*action.jobEnd, pass);
    emit replyTaken(state.reply, keyword); // once it has taken effect
}

// What a reply's step shows, and the passes it starts and ends.
void Engine::showReplyStep(ReplyAction::Step step)
{
    emit replyStep(step);
    switch (step) {
    case ReplyAction::Step::BoardReady:
        m_probeTimer->setEnabled(false);
        break;
    case ReplyAction::Step::ShowRefusal:
        markFailed();
        break;
    case ReplyAction::Step::EndVerified:
        state.verifying = false;
        state.downloading = false;
        break;
    case ReplyAction::Step::EndNotVerified:
        markFailed();
        state.downloading = false;
        tell(notVerifiedFailure(m_verifyLedger.acknowledged(), m_verifyLedger.lineCount()));
        break;
    case ReplyAction::Step::StartVerify:
        state.verifying = true;
        state.lineIndex = 0;
        if (m_jobRunning) {
            m_job.downloadMs = m_passClock.elapsed();
            m_passClock.start();
            emit passStarted(Pass::Verify, state.lineCount);
        }
        break;
    case ReplyAction::Step::ClearProgress:
        break;
    case ReplyAction::Step::LastLineOk:
        m_replyWatch.lastLineAnsweredOk(); // the watch runs on, and says so
        break;
    case ReplyAction::Step::Nothing:
        break;
    }
}

// A reply goes to the command awaited, if there is one: whatever the board
// says, keyword or not ("ADDR=", "RUN"), except "DOWNLOAD", which it says
// only to a line: a late or doubled one from the job before.
std::optional<DeviceCommand> Engine::commandAnsweredBy(ReplyKeyword keyword)
{
    if (!m_commandAwaited || state.reply.isEmpty() || keyword == ReplyKeyword::Download)
        return std::nullopt;
    m_commandWatchTimer->setEnabled(false);
    return std::exchange(m_commandAwaited, std::nullopt);
}

// An answer to the line awaited while a job runs.
void Engine::reportLineAnswer(ReplyKeyword keyword, Pass pass)
{
    m_job.reply = state.reply;
    const qint16 line = m_replyWatch.line();
    if (isRefusal(keyword))
        emit lineRefused(pass, line, keyword, state.reply);
    else if (keyword == ReplyKeyword::Download || !lastLineOfPassAwaited())
        emit lineAcknowledged(pass, line);
}

// The last line of the pass went out and its "DOWNLOAD" is awaited. "OK"
// then would start the pass again from line 1, which the board takes for a
// new image: it is not an answer, so nothing goes out on it. Once that line
// is answered (the job ended, in END or ERROR) nothing is awaited, and an
// "OK" to a command sends the next line as after any other answer.
bool Engine::lastLineOfPassAwaited() const
{
    return m_replyWatchTimer->isEnabled() && state.lineCount > 0 && state.lineIndex == 0 &&
           m_replyWatch.line() == state.lineCount;
}

void Engine::sendNextLineOnReply()
{
    if (!m_jobRunning && m_policy.linesOnlyInJob)
        return;
    if (m_handingOn)
        m_lineDue = true; // once the rest of this read's replies are in
    else
        sendNextLine();
}

// Hands a reply on. While a job runs, each answer goes to the frame that has
// owed one longest; answers owed together are held until the last is in,
// and act as one. A reply owed to no frame is no line's answer: it ends the
// job, unless it is the board refusing, which stands wherever it comes.
void Engine::dispatchReply()
{
    if (m_jobEndPending) {
        replyBehindTheEnd();
        return;
    }
    const ReplyKeyword keyword = firstReplyKeyword(state.reply);
    if (!m_jobRunning && keyword == ReplyKeyword::Download && m_policy.linesOnlyInJob) {
        emit replyRead(state.reply); // a late one: it starts nothing
        return;
    }
    const bool commandAnswer = m_commandAwaited && keyword != ReplyKeyword::Download;
    if (keyword == ReplyKeyword::None || commandAnswer || !m_jobRunning) {
        actOnReply();
        return;
    }
    if (keyword == ReplyKeyword::Version) {
        takeUnaskedVersion();
        return;
    }
    const ReplyWatch::Answer answer = m_replyWatch.answered(state.reply);
    if (answer != ReplyWatch::Answer::Surplus)
        m_jobAnswered = true;
    switch (answer) {
    case ReplyWatch::Answer::Act:
        actOnAnswer();
        return;
    case ReplyWatch::Answer::Hold:
        emit replyRead(state.reply);
        m_replyWatchTimer->start(m_replyWatch.holdMs(m_policy.replyTimeoutMs));
        return;
    case ReplyWatch::Answer::Absorb:
        return;
    case ReplyWatch::Answer::ActOnHeld:
        state.reply = m_replyWatch.takeHeld();
        actOnAnswer();
        return;
    case ReplyWatch::Answer::Surplus:
        if (isRefusal(keyword)) {
            actOnReply();
            return;
        }
        emit replyRead(state.reply);
        failJob(JobResult::Outcome::ExtraReply);
        return;
    }
}

// A pass ends on "DOWNLOAD" only as the answer to its last line: the board
// says it to the end-of-file record alone. Anywhere else it is a copy of
// some other reply, and the line's own answer is still to come.
void Engine::actOnAnswer()
{
    if (firstReplyKeyword(state.reply) == ReplyKeyword::Download && !lastLineOfPassAwaited()) {
        failJob(JobResult::Outcome::ExtraReply);
        return;
    }
    actOnReply();
}

// A reply read together with the job's last answer, behind it: it moves
// nothing, and it answers no frame. A job that ended verified fails on it,
// as on a reply owed nothing, or as refused when the board refuses; a "VER="
// only says that the board started afresh after its last answer.
void Engine::replyBehindTheEnd()
{
    emit replyRead(state.reply);
    const ReplyKeyword keyword = firstReplyKeyword(state.reply);
    if (m_job.outcome != JobResult::Outcome::Verified || keyword == ReplyKeyword::None ||
        keyword == ReplyKeyword::Version)
        return;
    const bool refused = isRefusal(keyword);
    m_job.outcome = refused ? JobResult::Outcome::Refused : JobResult::Outcome::ExtraReply;
    m_job.reply = state.reply;
    markFailed();
    if (!refused)
        tell(jobVerdict(m_job, m_rtu, m_address).error);
}

// "VER=" while a job runs. Before any line of the job is answered it is a
// late answer to a probe (a board slower than the probe's beat answers
// several; every board at the address answers), and only shown. After
// that it came unasked: the board has restarted, and holds part of the
// image at most.
void Engine::takeUnaskedVersion()
{
    if (!m_policy.restartEndsJob) {
        actOnReply();
        return;
    }
    emit replyRead(state.reply);
    if (m_jobAnswered)
        failJob(JobResult::Outcome::Restarted);
}

// The job can no longer be known good: it ends here, nothing more goes out
// for it, and the bar says "ERROR" as for a refused line, with a message
// that says why, as the job's verdict words it for every face.
void Engine::failJob(JobResult::Outcome outcome)
{
    const Pass pass = currentPass();
    m_job.reply = state.reply;
    m_replyWatchTimer->setEnabled(false);
    markFailed();
    endJob(outcome, pass);
    tell(jobVerdict(m_job, m_rtu, m_address).error);
}

// As for a refused line: a verify pass under way is left, and the faces say
// the job failed.
void Engine::markFailed()
{
    state.verifying = false;
    emit jobFailed();
}

// A message for the operator, once the replies at hand have been acted on.
void Engine::tell(const QString &text)
{
    QString sentence = text;
    sentence[0] = sentence[0].toUpper();
    afterReplies([this, sentence = sentence + u'.'] { emit message(sentence); });
}
