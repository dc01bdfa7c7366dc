#include "engine/engine.h"
#include "engine/panelcolours.h"
#include "engine/timer.h"
#include "protocol/replykeyword.h"

// Shows the board's reply and acts on the first keyword it holds.
void Engine::Com_Parser()
{
    setAnswer(QString::fromLatin1(state.RxText));
    const ReplyKeyword keyword = firstReplyKeyword(state.RxText);
    if (keyword != ReplyKeyword::None)
        ReplyWatch->setEnabled(false); // the board has answered
    switch (keyword) {
    case ReplyKeyword::Version:
        Timer3->setEnabled(false);
        setStatus(QStringLiteral("READY"));
        if (state.DownloadRequested == 1 && state.DownloadActive == 1)
            sendNextLine();
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
        } else { // the download pass is through: verify it
            setProgressText(QStringLiteral("VERIFY"));
            state.VerifyMode = 1;
            state.LineIndex = 0;
            sendNextLine();
        }
        break;
    case ReplyKeyword::Format:
        setProgressText(QString());
        setProgressPosition(0);
        break;
    case ReplyKeyword::Ok:
        sendNextLine();
        break;
    case ReplyKeyword::None:
        break;
    }
    emit replyTaken(state.RxText, keyword); // once it has taken effect
}
