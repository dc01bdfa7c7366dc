#pragma once

#include "engine/jobpolicy.h"
#include "engine/msclock.h"

#include <QByteArray>
#include <QtGlobal>
#include <functional>
#include <optional>

// The wait for the board's answer to the line that went out last: which
// line, how often it went out, how long it has gone unanswered, and what to
// do with an answer. The engine owns the timer; this keeps the count,
// against a clock that tests can move.
//
// Every frame that goes out is owed one answer, and every answer pays the
// oldest debt: so a reply that comes when nothing is owed (a stray copy, an
// echo, a second board at the same address) is told apart, and is never
// taken for a line's answer. Several answers owed at once (a line sent
// again, or sent before the last was answered) are held until the last is
// in, or the wait for it is over, and act as one: the board never has two
// lines to answer and a late answer does not pass for the next line's.
class ReplyWatch {
public:
    explicit ReplyWatch(MsClock nowMs = {}); // empty: the monotonic clock

    // A line went out for the first time: a fresh wait, and one answer more owed.
    void lineSent(qint16 line, const QByteArray &command);
    // It went out again: one answer more owed.
    void lineResent();
    // A new job owes nothing: an answer the last one left owing would
    // otherwise hold its line 1 for a whole wait.
    void newJob();

    qint16 line() const { return m_line; }
    const QByteArray &command() const { return m_command; } // as it went out, unframed
    int sendings() const { return m_sendings; }

    // What to do with an answer (a reply holding a keyword).
    enum class Answer {
        Act,       // the one awaited: act on it
        Hold,      // the first of several: hold it until holdMs() has passed
        Absorb,    // another of them: let it go (a refusal is held in its stead)
        ActOnHeld, // the last answer is in: act on the held one (takeHeld)
        Surplus,   // nothing was owed: it answers no frame
    };
    Answer answered(const QByteArray &reply);
    // The other answers are as far behind the first as the sendings were
    // apart: so the wait for them is as long again as it took, and a timeout more.
    int holdMs(int timeoutMs) const;
    bool holding() const { return m_held.has_value(); }
    QByteArray takeHeld();

    // The wait ran out with nothing held: how long the line has now gone
    // unanswered, counting on from the timeout in steps of JobTiming::StallNoticeEveryMs.
    int overdue(int timeoutMs);
    bool firstNotice() const { return m_unansweredMs > 0 && m_noticeCount == 1; }
    // "OK" to the last line of a pass: the watch runs on, and says so.
    void lastLineAnsweredOk() { m_lastLineAnsweredOk = true; }
    bool lastLineWasAnsweredOk() const { return m_lastLineAnsweredOk; }

private:
    MsClock m_nowMs;
    qint16 m_line = 0;
    QByteArray m_command;
    int m_sendings = 0;
    int m_repliesOwed = 0;
    std::optional<QByteArray> m_held;
    qint64 m_sentAt = 0; // the first sending
    int m_unansweredMs = 0;
    int m_noticeCount = 0;
    bool m_lastLineAnsweredOk = false;
};
