#include "engine/engine.h"
#include "engine/panelcolours.h"
#include "engine/timer.h"
#include "protocol/replykeyword.h"

#include <limits>
#include <utility>

// Shows the board's reply and acts on the first keyword it holds.
void Engine::Com_Parser()
{
    setAnswer(QString::fromLatin1(state.RxText));
    const ReplyKeyword keyword = firstReplyKeyword(state.RxText);
    m_verifyLedger.replied(keyword);
    const bool passThroughUnended = keyword == ReplyKeyword::Ok && lastLineOfPassAwaited();
    if (keyword != ReplyKeyword::None && !passThroughUnended)
        ReplyWatch->setEnabled(false); // the board has answered
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
            emit verifyPassEnded(m_verifyLedger.wholeImageVerified());
        } else { // the download pass is through: verify it
            setProgressText(QStringLiteral("VERIFY"));
            state.VerifyMode = 1;
            state.LineIndex = 0;
            sendNextLineOnReply();
        }
        break;
    case ReplyKeyword::Format:
        setProgressText(QString());
        setProgressPosition(0);
        break;
    case ReplyKeyword::Ok:
        if (passThroughUnended)
            m_lastLineAnsweredOk = true; // the watch runs on, and says so
        else
            sendNextLineOnReply();
        break;
    case ReplyKeyword::None:
        break;
    }
    emit replyTaken(state.RxText, keyword); // once it has taken effect
}

// The last line of the pass went out and its "DOWNLOAD" is awaited. "OK"
// then would start the pass again from line 1, which the board takes for a
// new image: it is not an answer, so nothing goes out on it.
bool Engine::lastLineOfPassAwaited() const
{
    return state.LineCount > 0 && state.LineIndex == 0 && state.AwaitedLine == state.LineCount;
}

void Engine::sendNextLineOnReply()
{
    if (m_repliesSendLines)
        sendNextLine();
}

// Hands a reply on to the dispatcher, unless the awaited line went out more
// than once: then the first answer is held until the others are in (or the
// wait for them is over), and only it is acted on.
void Engine::dispatchReply()
{
    const ReplyKeyword keyword = firstReplyKeyword(state.RxText);
    if (keyword == ReplyKeyword::Download && m_earlyDownloadIgnored &&
        state.AwaitedLine != state.LineCount) {
        setAnswer(QString::fromLatin1(state.RxText)); // shown, and the wait goes on
        return;
    }
    const bool answer = keyword != ReplyKeyword::None;
    if (!answer || (m_repliesOwed <= 1 && !m_heldReply)) {
        if (answer && m_repliesOwed > 0)
            --m_repliesOwed;
        Com_Parser();
        return;
    }
    --m_repliesOwed;
    if (!m_heldReply) {
        m_heldReply = state.RxText;
        setAnswer(QString::fromLatin1(state.RxText));
        // The other answer is as far behind this one as the sendings were
        // apart: so the wait for it is as long again as this one took, and
        // a reply timeout more.
        ReplyWatch->start(int(qMin<qint64>(m_replyTimeoutMs + m_sinceLineSent.elapsed(),
                                           std::numeric_limits<int>::max())));
        return;
    }
    if (m_repliesOwed > 0) // this one answered the same line: it is absorbed
        return;
    state.RxText = *std::exchange(m_heldReply, std::nullopt);
    Com_Parser();
}
