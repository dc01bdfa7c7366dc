#include "cli/terminaldesk.h"

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

TerminalDesk::TerminalDesk(int input, std::FILE *prompts)
    : m_input(input), m_prompts(prompts), m_notifier(input, QSocketNotifier::Read)
{
    connect(&m_notifier, &QSocketNotifier::activated, this, &TerminalDesk::readInput);
}

bool TerminalDesk::inputIsTerminal()
{
#ifdef Q_OS_UNIX
    return ::isatty(STDIN_FILENO) == 1;
#else
    return false;
#endif
}

// What was typed before the question is not its answer: a scanner's CR LF
// reads as two line ends, and the second would answer this one empty.
void TerminalDesk::put(const QString &question)
{
#ifdef Q_OS_UNIX
    ::tcflush(m_input, TCIFLUSH);
#endif
    m_line.clear();
    print(m_prompts, question + u' ');
}

void TerminalDesk::leaveUnanswered()
{
    print(m_prompts, QStringLiteral("\n")); // the prompt's line ends
}

void TerminalDesk::refuse(const QString &line)
{
    print(m_prompts,
          QStringLiteral("bootline-cli: no question was asked: \"%1\" is not taken\n").arg(line));
}

void TerminalDesk::readInput()
{
#ifdef Q_OS_UNIX
    char bytes[4096];
    const ssize_t count = ::read(m_input, bytes, sizeof bytes);
    if (count < 0 && (errno == EINTR || errno == EAGAIN))
        return;
    if (count <= 0) { // the terminal hung up (EIO), or Ctrl-D
        m_notifier.setEnabled(false);
        if (m_questions)
            m_questions->inputEnded();
        return;
    }
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
        if (!secondLineEnd && m_questions)
            m_questions->take(line);
    }
#endif
}
