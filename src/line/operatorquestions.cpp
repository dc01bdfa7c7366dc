#include "line/operatorquestions.h"

#include "shared/readable.h"

#include <algorithm>
#include <cerrno>
#include <utility>

#ifdef Q_OS_UNIX
#include <termios.h>
#include <unistd.h>
#endif

namespace {

// Two line ends closer than this are one, typed by a machine.
constexpr qint64 LineEndPairMs = 50;

void print(std::FILE *stream, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

} // namespace

OperatorQuestions::OperatorQuestions(QStringList keys, int input, std::FILE *prompts)
    : m_keys(std::move(keys)), m_input(input), m_prompts(prompts),
      m_notifier(input, QSocketNotifier::Read)
{
    connect(&m_notifier, &QSocketNotifier::activated, this, &OperatorQuestions::readInput);
}

bool OperatorQuestions::inputIsTerminal()
{
#ifdef Q_OS_UNIX
    return ::isatty(STDIN_FILENO) == 1;
#else
    return false;
#endif
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
    print(m_prompts, QStringLiteral("\n")); // the prompt's line ends unanswered
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
    // What was typed before the question is not its answer: a scanner's CR LF
    // reads as two line ends, and the second would answer this one empty.
#ifdef Q_OS_UNIX
    ::tcflush(m_input, TCIFLUSH);
#endif
    m_line.clear();
    print(m_prompts, visibleText(question()) + u' ');
    m_prompted = true;
}

void OperatorQuestions::readInput()
{
#ifdef Q_OS_UNIX
    char bytes[4096];
    const ssize_t count = ::read(m_input, bytes, sizeof bytes);
    if (count < 0 && (errno == EINTR || errno == EAGAIN))
        return;
    if (count <= 0) // the terminal hung up (EIO), or Ctrl-D
        return inputEnded();
    for (ssize_t at = 0; at < count; ++at) {
        const char byte = bytes[at];
        const bool lineFeedOfCr = byte == '\n' && m_afterCr;
        m_afterCr = byte == '\r';
        if (lineFeedOfCr)
            continue;
        if (byte != '\r' && byte != '\n') {
            m_line += byte;
            continue;
        }
        const QString line = QString::fromUtf8(std::exchange(m_line, {})).trimmed();
        // A scanner's LF after its CR and its text, if it came after the
        // next question was put.
        const bool secondLineEnd =
            line.isEmpty() && m_lastAnswer.isValid() && m_lastAnswer.elapsed() < LineEndPairMs;
        m_lastAnswer.invalidate();
        if (!line.isEmpty())
            m_lastAnswer.start();
        if (!secondLineEnd)
            take(line);
    }
#endif
}

// A line that no question waits for was typed before its board came: whose
// it is cannot be known, so it is not taken for the next board's.
void OperatorQuestions::take(const QString &line)
{
    if (m_boards.isEmpty() || !m_prompted) {
        if (!line.isEmpty())
            print(m_prompts,
                  QStringLiteral("bootline-cli: no question was asked: \"%1\" is not taken\n")
                      .arg(visibleText(line)));
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
    if (!m_closed) {
        m_closed = true;
        m_notifier.setEnabled(false);
    }
    if (m_boards.isEmpty())
        return;
    if (m_prompted)
        print(m_prompts, QStringLiteral("\n"));
    m_prompted = false;
    emit waitingChanged(false);
    emit inputClosed(question());
}
