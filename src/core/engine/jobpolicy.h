#pragma once

// How a job is timed, and what is done when the board keeps quiet: every
// timing of the engine in one place, and the one decision on a line whose
// answer is overdue. The defaults are the window's, where an operator
// watches; a face that runs unattended takes JobPolicy::unattended.
namespace JobTiming {

inline constexpr int ProbeEveryMs = 200;  // "BOOTi" until the board answers
inline constexpr int ProbeAttempts = 127; // then the probe gives up; a scan tries 1..127
inline constexpr int PollEveryMs = 20;    // the receive poll, awake
inline constexpr int TicksPerBlink = 10;  // the lamp blinks every so many poll ticks
inline constexpr int ReplyTimeoutMs =
    3000; // a line, "Set Addr" or "?" unanswered so long is overdue
inline constexpr int InstallReplyMs =
    300; // "Install " may get no answer: the firmware starts at once
inline constexpr int StallNoticeEveryMs = 1000; // an overdue line's notice counts on in these steps
inline constexpr int QuietLineMs = 2; // a plain reply without its CR LF is whole after a quiet line
// The terminal face waits longer: nobody is there to judge a slow board,
// and on a long bus or a busy adapter a resend costs more than a wait.
inline constexpr int UnattendedReplyTimeoutMs = 10000;

} // namespace JobTiming

struct JobPolicy {
    int replyTimeoutMs = JobTiming::ReplyTimeoutMs;
    int installReplyMs = JobTiming::InstallReplyMs;
    int retries = 0; // an overdue line goes out again so many times
    // Once the retries are spent, the job ends (a script) instead of waiting on.
    bool endWhenUnanswered = false;
    // Replies move the download only while a job runs: a late reply after
    // the job or to a command sends no line and starts no pass.
    bool linesOnlyInJob = false;
    // "VER=" unasked in the middle of a job means the board restarted (a
    // reset, a dip in its supply): the job ends there, and nothing more goes
    // out. The window goes on with the next line instead, as it always has.
    bool restartEndsJob = false;
    int probeAttempts = JobTiming::ProbeAttempts; // one each ProbeEveryMs

    // A line's answer is overdue. Every notice shows how long it has been;
    // on the first one after a sending, the line goes out again while
    // retries are left, else the faces are told it went unanswered, and an
    // unattended job ends. The window never resends: a lost line and a lost
    // reply look the same from here, and the board may only be busy.
    enum class Overdue { NoticeAgain, Resend, SayUnanswered, GiveUp };
    Overdue whenOverdue(bool firstNotice, int sendings) const
    {
        if (!firstNotice)
            return Overdue::NoticeAgain;
        if (sendings <= retries)
            return Overdue::Resend;
        return endWhenUnanswered ? Overdue::GiveUp : Overdue::SayUnanswered;
    }

    // What a face that runs unattended wants: resend, give up, stop cleanly.
    static JobPolicy unattended(int replyTimeoutMs, int retries)
    {
        JobPolicy policy;
        policy.replyTimeoutMs = replyTimeoutMs;
        policy.retries = retries;
        policy.endWhenUnanswered = true;
        policy.linesOnlyInJob = true;
        policy.restartEndsJob = true;
        return policy;
    }
};
