#pragma once

#include "engine/jobevents.h"
#include "protocol/replykeyword.h"

#include <optional>

// What one reply of the board calls for, decided from its keyword and where
// the job stands; the engine then does it (responsedispatcher.cpp). Kept
// apart so that every answer to every state can be read, and tested, as one
// table.
struct ReplyAction {
    // Where the job stands as the reply comes.
    struct Situation {
        bool answersLine = false;        // it answers a line of the running job
        bool verifying = false;          // the verify pass is under way
        bool downloadUnderWay = false;   // a download was asked for and has begun
        bool lastLineAwaited = false;    // the pass's last line went out, its "DOWNLOAD" awaited
        bool wholeImageVerified = false; // every verify line was answered in step
    };

    enum class Step {
        Nothing,
        BoardReady,     // "VER=": the probe stops, the board is ready
        ShowRefusal,    // "ERROR" on a red bar
        StartVerify,    // the download pass is through: the same lines again, to check
        EndVerified,    // the verify pass is through, every line in step
        EndNotVerified, // the verify pass is through, but not every line was
        ClearProgress,  // "FORMAT": the bar is emptied
        LastLineOk,     // "OK" to the last line: no answer yet, the watch runs on
    };
    Step step = Step::Nothing;
    bool stopReplyWatch = false; // the board has answered what was awaited
    bool sendNextLine = false;
    std::optional<JobResult::Outcome> jobEnd;

    static ReplyAction onReply(ReplyKeyword keyword, const Situation &situation);
};
