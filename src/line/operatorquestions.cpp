#include "line/operatorquestions.h"

#include "shared/readable.h"

#include <algorithm>
#include <utility>

OperatorQuestions::OperatorQuestions(QStringList keys, OperatorDesk &desk)
    : m_keys(std::move(keys)), m_desk(desk)
{
}

int OperatorQuestions::ask(const QString &port, const QString &board, Answered answered)
{
    const int ticket = ++m_lastTicket;
    QMetaObject::invokeMethod(
        this,
        [this, ticket, port, board, answered = std::move(answered)]() mutable {
            askHere(ticket, port, board, std::move(answered));
        },
        Qt::AutoConnection);
    return ticket;
}

// Queued behind the asker's own ask: a board's questions are withdrawn only
// once they are there.
void OperatorQuestions::withdraw(int ticket)
{
    QMetaObject::invokeMethod(
        this, [this, ticket] { withdrawHere(ticket); }, Qt::AutoConnection);
}

void OperatorQuestions::askHere(int ticket, const QString &port, const QString &board,
                                Answered answered)
{
    m_boards.append({ticket, port, board, std::move(answered), {}, 0});
    if (m_closed) {
        // No answer can come: said once the asker has its number.
        QMetaObject::invokeMethod(
            this, [this] { inputEnded(); }, Qt::QueuedConnection);
    } else if (m_boards.size() == 1) {
        promptNext();
    }
}

void OperatorQuestions::withdrawHere(int ticket)
{
    const auto board = std::find_if(m_boards.begin(), m_boards.end(),
                                    [ticket](const Board &each) { return each.ticket == ticket; });
    if (board == m_boards.end())
        return;
    const bool onTheTerminal = board == m_boards.begin() && m_prompted;
    m_boards.erase(board);
    if (!onTheTerminal)
        return;
    m_prompted = false;
    m_desk.leaveUnanswered();
    // A signal withdraws every board in turn: the next question, if any is
    // left, once they all have.
    if (!m_promptPending) {
        m_promptPending = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_promptPending = false;
                promptNext();
            },
            Qt::QueuedConnection);
    }
}

QString OperatorQuestions::question() const
{
    const Board &board = m_boards.first();
    return QStringLiteral("%1 board %2: %3?").arg(board.port, board.board, m_keys[board.key]);
}

void OperatorQuestions::promptNext()
{
    if (m_prompted)
        return;
    if (m_boards.isEmpty() || m_closed) {
        emit waitingChanged(false);
        return;
    }
    emit waitingChanged(true);
    m_desk.put(visibleText(question()));
    m_prompted = true;
}

// A line that no question waits for was typed before its board came: whose
// it is cannot be known, so it is not taken for the next board's.
void OperatorQuestions::take(const QString &line)
{
    if (m_boards.isEmpty() || !m_prompted) {
        if (!line.isEmpty())
            m_desk.refuse(visibleText(line));
        return;
    }
    Board &board = m_boards.first();
    if (!line.isEmpty())
        board.answers.insert(m_keys[board.key], line);
    m_prompted = false;
    if (++board.key < m_keys.size())
        return promptNext();
    const Board answered = m_boards.takeFirst();
    // What waited behind the question comes out before the next one is asked.
    emit waitingChanged(false);
    answered.answered(answered.answers);
    promptNext();
}

void OperatorQuestions::inputEnded()
{
    m_closed = true;
    if (m_boards.isEmpty())
        return;
    if (m_prompted)
        m_desk.leaveUnanswered();
    m_prompted = false;
    emit waitingChanged(false);
    emit inputClosed(question());
}
