#include "engine/engine.h"
#include "engine/panelcolours.h"
#include "engine/timer.h"
#include "protocol/replykeyword.h"

// Shows the board's reply and acts on the first keyword it holds. The job
// events go out in the order things happened; those a face may act on with
// a new command (a board found, a command answered, the job's end) go out
// once the reply has taken effect, so that nothing is sent from the middle.
void Engine::Com_Parser()
{
    setAnswer(QString::fromLatin1(state.RxText));
    const ReplyKeyword keyword = firstReplyKeyword(state.RxText);
    const bool probing = Timer3->isEnabled();
    const Pass pass = currentPass();
    const std::optional<DeviceCommand> command = commandAnsweredBy(keyword);
    const bool lineAnswer = !command && m_jobRunning && keyword != ReplyKeyword::None &&
                            keyword != ReplyKeyword::Version;
    if (lineAnswer)
        reportLineAnswer(keyword, pass);
    m_verifyLedger.replied(keyword);
    std::optional<JobResult::Outcome> jobEnd;
    if (lineAnswer && (keyword == ReplyKeyword::Error || keyword == ReplyKeyword::Format))
        jobEnd = JobResult::Outcome::Refused;
    const bool passThroughUnended = keyword == ReplyKeyword::Ok && lastLineOfPassAwaited();
    if (keyword != ReplyKeyword::None && !passThroughUnended)
        m_replyWatchTimer->setEnabled(false); // the board has answered
    switch (keyword) {
    case ReplyKeyword::Version:
        Timer3->setEnabled(false);
        setStatus(QStringLiteral("READY"));
        if (state.DownloadRequested == 1 && state.DownloadActive == 1 && !lastLineOfPassAwaited())
            sendNextLineOnReply();
        break;
    case ReplyKeyword::Error:
        setProgressText(QStringLiteral("ERROR"));
        setBarColour(Colour::Red);
        state.VerifyMode = 0;
        break;
    case ReplyKeyword::Download:
        if (state.VerifyMode == 1) { // the verify pass is through
            setProgressText(QStringLiteral("END"));
            setBarColour(Colour::Green);
            state.VerifyMode = 0;
            state.DownloadActive = 0;
            jobEnd = m_verifyLedger.wholeImageVerified() ? JobResult::Outcome::Verified
                                                         : JobResult::Outcome::NotVerified;
        } else { // the download pass is through: verify it
            setProgressText(QStringLiteral("VERIFY"));
            state.VerifyMode = 1;
            state.LineIndex = 0;
            if (m_jobRunning) {
                m_job.downloadMs = m_passClock.elapsed();
                m_passClock.start();
                emit passStarted(Pass::Verify, state.LineCount);
            }
            sendNextLineOnReply();
        }
        break;
    case ReplyKeyword::Format:
        setProgressText(QString());
        setProgressPosition(0);
        break;
    case ReplyKeyword::Ok:
        if (passThroughUnended)
            m_replyWatch.lastLineAnsweredOk(); // the watch runs on, and says so
        else
            sendNextLineOnReply();
        break;
    case ReplyKeyword::None:
        break;
    }
    if (keyword == ReplyKeyword::Version && probing && !command) {
        m_versionReply = state.RxText;
        emit boardFound(m_address, state.RxText);
    }
    if (command)
        emit commandAnswered(*command, keyword, state.RxText);
    if (jobEnd)
        endJob(*jobEnd, pass);
    emit replyTaken(state.RxText, keyword); // once it has taken effect
}

// A reply goes to the command awaited, if there is one: whatever the board
// says, keyword or not ("ADDR=", "RUN"), except "DOWNLOAD", which it says
// only to a line: a late or doubled one from the job before.
std::optional<DeviceCommand> Engine::commandAnsweredBy(ReplyKeyword keyword)
{
    if (!m_commandAwaited || state.RxText.isEmpty() || keyword == ReplyKeyword::Download)
        return std::nullopt;
    m_commandWatchTimer->setEnabled(false);
    return std::exchange(m_commandAwaited, std::nullopt);
}

// An answer to the line awaited while a job runs.
void Engine::reportLineAnswer(ReplyKeyword keyword, Pass pass)
{
    m_job.reply = state.RxText;
    const qint16 line = m_replyWatch.line();
    if (keyword == ReplyKeyword::Error || keyword == ReplyKeyword::Format)
        emit lineRefused(pass, line, keyword, state.RxText);
    else if (keyword == ReplyKeyword::Download || !lastLineOfPassAwaited())
        emit lineAcknowledged(pass, line);
}

// The last line of the pass went out and its "DOWNLOAD" is awaited. "OK"
// then would start the pass again from line 1, which the board takes for a
// new image: it is not an answer, so nothing goes out on it.
bool Engine::lastLineOfPassAwaited() const
{
    return state.LineCount > 0 && state.LineIndex == 0 && m_replyWatch.line() == state.LineCount;
}

void Engine::sendNextLineOnReply()
{
    if (m_jobRunning || !m_policy.linesOnlyInJob)
        sendNextLine();
}

// Hands a reply on to the dispatcher, unless the awaited line went out more
// than once: then the first answer is held until the others are in (or the
// wait for them is over), and only it is acted on.
void Engine::dispatchReply()
{
    const ReplyKeyword keyword = firstReplyKeyword(state.RxText);
    if (keyword == ReplyKeyword::Download && m_policy.strayDownloadIgnored &&
        (!m_jobRunning || m_replyWatch.line() != state.LineCount)) {
        setAnswer(QString::fromLatin1(state.RxText)); // shown, and the wait goes on
        return;
    }
    if (keyword == ReplyKeyword::None || m_commandAwaited) {
        Com_Parser();
        return;
    }
    switch (m_replyWatch.answered(state.RxText)) {
    case ReplyWatch::Answer::Act:
        Com_Parser();
        return;
    case ReplyWatch::Answer::Hold:
        setAnswer(QString::fromLatin1(state.RxText));
        m_replyWatchTimer->start(m_replyWatch.holdMs(m_policy.replyTimeoutMs));
        return;
    case ReplyWatch::Answer::Absorb:
        return;
    case ReplyWatch::Answer::ActOnHeld:
        state.RxText = m_replyWatch.takeHeld();
        Com_Parser();
        return;
    }
}
