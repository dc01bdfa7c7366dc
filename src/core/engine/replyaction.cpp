#include "engine/replyaction.h"

ReplyAction ReplyAction::onReply(ReplyKeyword keyword, const Situation &situation)
{
    ReplyAction action;
    if (situation.answersLine && isRefusal(keyword))
        action.jobEnd = JobResult::Outcome::Refused;
    // "OK" to the last line would start the pass again from line 1: the
    // line's own answer is still to come.
    const bool okToLastLine = keyword == ReplyKeyword::Ok && situation.lastLineAwaited;
    action.stopReplyWatch = keyword != ReplyKeyword::None && !okToLastLine;
    switch (keyword) {
    case ReplyKeyword::Version:
        action.step = Step::BoardReady;
        action.sendNextLine = situation.downloadUnderWay && !situation.lastLineAwaited;
        break;
    case ReplyKeyword::Error:
        action.step = Step::ShowRefusal;
        break;
    case ReplyKeyword::Download:
        if (situation.verifying) {
            const bool whole = situation.wholeImageVerified;
            action.step = whole ? Step::EndVerified : Step::EndNotVerified;
            action.jobEnd = whole ? JobResult::Outcome::Verified : JobResult::Outcome::NotVerified;
        } else {
            action.step = Step::StartVerify;
            action.sendNextLine = true;
        }
        break;
    case ReplyKeyword::Format:
        action.step = Step::ClearProgress;
        break;
    case ReplyKeyword::Ok:
        action.step = okToLastLine ? Step::LastLineOk : Step::Nothing;
        action.sendNextLine = !okToLastLine;
        break;
    case ReplyKeyword::None:
        break;
    }
    return action;
}
