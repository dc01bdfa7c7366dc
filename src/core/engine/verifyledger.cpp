#include "engine/verifyledger.h"

void VerifyLedger::lineSent(qint16 line, bool verifyForm, qint16 lineCount)
{
    if (!verifyForm) { // a download line: whatever was verified is about to change
        *this = {};
        return;
    }
    if (line == 1) { // a pass begins, or its first line goes out again: the same
        *this = {};
        m_count = lineCount;
        m_sent = 1;
        m_inStep = true;
        return;
    }
    if (line == m_sent)
        return;
    const bool next = line == m_sent + 1 && m_acknowledged == m_sent && !m_ended;
    m_inStep = m_inStep && next;
    m_sent = line;
}

void VerifyLedger::replied(ReplyKeyword keyword)
{
    if (!m_inStep || m_ended)
        return;
    switch (keyword) {
    case ReplyKeyword::Ok:
        if (m_sent < m_count) // "OK" to the last line is no end: the end is "DOWNLOAD"
            m_acknowledged = m_sent;
        return;
    case ReplyKeyword::Download:
        if (m_sent == m_count && m_acknowledged == m_count - 1) {
            m_acknowledged = m_count;
            m_ended = true;
        } else {
            m_inStep = false;
        }
        return;
    case ReplyKeyword::Error:
    case ReplyKeyword::Format:
        m_inStep = false;
        return;
    case ReplyKeyword::Version:
    case ReplyKeyword::None:
        return;
    }
}
