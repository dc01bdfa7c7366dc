#pragma once

#include "protocol/replykeyword.h"

#include <QtGlobal>

// Keeps count of the verify pass, so that "done" can mean the whole image was
// checked: lines 1..N went out in verify form in that order, each of 1..N-1
// was answered "OK" before the next went out, and line N, the end-of-file
// record, was answered "DOWNLOAD". The board's "DOWNLOAD" alone cannot say
// so: a doubled or late one ends a verify pass that has barely begun.
class VerifyLedger {
public:
    // A line went out; the same line again is a resend and changes nothing.
    void lineSent(qint16 line, bool verifyForm, qint16 lineCount);
    // A reply was acted on, before the line it may bring goes out.
    void replied(ReplyKeyword keyword);

    bool wholeImageVerified() const { return m_inStep && m_ended; }
    qint16 lastSent() const { return m_sent; }             // the verify line sent last; 0: none
    qint16 acknowledged() const { return m_acknowledged; } // lines answered in step
    qint16 lineCount() const { return m_count; }

private:
    qint16 m_count = 0;
    qint16 m_sent = 0;
    qint16 m_acknowledged = 0;
    bool m_inStep = false; // nothing went out of order since line 1
    bool m_ended = false;
};
