#include "cli/console.h"

#include "shared/readable.h"

#include <algorithm>
#include <utility>

#ifdef Q_OS_UNIX
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace {

// A live line longer than the terminal is wide would wrap, and the live
// lines would no longer be where they are redrawn. Asked each time: the
// window may have been resized.
int liveWidth()
{
#ifdef Q_OS_UNIX
    winsize size{};
    if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 1)
        return size.ws_col - 1;
#endif
    return 79;
}

int terminalRows()
{
#ifdef Q_OS_UNIX
    winsize size{};
    if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0)
        return size.ws_row;
#endif
    return 0;
}

void print(std::FILE *stream, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

} // namespace

Console::Console(bool terminal, bool severalPorts)
    : m_terminal(terminal), m_severalPorts(severalPorts), m_rows(terminalRows)
{
}

void Console::setScreen(std::function<int()> rows, std::FILE *live)
{
    m_rows = std::move(rows);
    m_liveStream = live;
}

int Console::addPort()
{
    eraseLive(); // the block grows by a line
    m_live.append(QString());
    m_state.append(QString());
    m_held.append(QList<std::pair<std::FILE *, QString>>());
    drawLive();
    return int(m_live.size() - 1);
}

// Every line may hold a board's words or a stored record's: what a terminal
// would obey in them is shown instead.
void Console::show(int port, const QString &text, const QString &state)
{
    const QString live = visibleText(text);
    if (!m_terminal || m_live[port] == live)
        return;
    m_live[port] = live;
    m_state[port] = state;
    if (m_holding)
        return;
    if (!hasSeveralPorts()) {
        if (live.isEmpty())
            return eraseLive();
        print(m_liveStream, QStringLiteral("\r%1   ").arg(live));
        m_liveShown = true;
        return;
    }
    eraseLive();
    drawLive();
}

void Console::write(int port, std::FILE *stream, const QString &text)
{
    const QString line = visibleText(text);
    if (hasSeveralPorts() && !m_terminal && port != RunLine) {
        m_held[port].append({stream, line});
        return;
    }
    eraseLive();
    emitLine(stream, line);
    if (hasSeveralPorts())
        drawLive();
}

void Console::release(int port)
{
    for (const auto &[stream, line] : std::as_const(m_held[port]))
        emitLine(stream, line);
    m_held[port].clear();
}

void Console::runEnded()
{
    hold(false);
    m_live.fill(QString());
    eraseLive();
}

void Console::hold(bool on)
{
    if (on == m_holding)
        return;
    if (on) {
        eraseLive();
        m_holding = true;
        return;
    }
    m_holding = false;
    for (const auto &[stream, line] : std::exchange(m_heldForQuestion, {}))
        print(stream, line + u'\n');
    if (hasSeveralPorts())
        return drawLive();
    if (m_terminal && !m_live.isEmpty() && !m_live.first().isEmpty()) {
        print(m_liveStream, QStringLiteral("\r%1   ").arg(m_live.first()));
        m_liveShown = true;
    }
}

void Console::emitLine(std::FILE *stream, const QString &line)
{
    if (m_holding)
        m_heldForQuestion.append({stream, line});
    else
        print(stream, line + u'\n');
}

void Console::eraseLive()
{
    if (!m_liveShown)
        return;
    m_liveShown = false;
    if (!hasSeveralPorts()) {
        print(m_liveStream, QStringLiteral("\r%1\r").arg(QString(), 64));
        return;
    }
    // Up to the first live line, and everything below it away.
    print(m_liveStream, QStringLiteral("\x1b[%1A\r\x1b[J").arg(m_liveLines));
}

void Console::drawLive()
{
    if (m_holding)
        return;
    if (std::all_of(m_live.begin(), m_live.end(),
                    [](const QString &live) { return live.isEmpty(); }))
        return;
    const int width = liveWidth();
    const QStringList lines = liveBlock(m_rows ? m_rows() : 0);
    if (lines.isEmpty())
        return;
    QString block;
    for (const QString &live : lines)
        block += live.left(width) + u'\n';
    print(m_liveStream, block);
    m_liveShown = true;
    m_liveLines = int(lines.size());
}

// A block taller than the terminal would scroll its top into the
// scrollback, where it could not be erased, and the finished lines above it
// would go with it. It keeps a row free for the cursor: first the ports at
// work, as many as fit, then one line that counts the rest by state.
QStringList Console::liveBlock(int rows) const
{
    const int most = rows > 0 ? rows - 1 : int(m_live.size());
    if (m_live.size() <= most)
        return m_live;
    QList<int> shown;
    for (int port = 0; port < m_live.size(); ++port) {
        if (!m_live[port].isEmpty())
            shown << port;
    }
    if (shown.size() <= most) {
        QStringList lines;
        for (const int port : std::as_const(shown))
            lines << m_live[port];
        return lines;
    }
    if (most < 1)
        return {};
    QStringList lines;
    for (int index = 0; index < most - 1; ++index)
        lines << m_live[shown[index]];
    const QList<int> rest = shown.mid(most - 1);
    QStringList states; // in the order first seen
    QList<int> counts;
    for (const int port : rest) {
        const QString state = m_state[port].isEmpty() ? QStringLiteral("busy") : m_state[port];
        const qsizetype at = states.indexOf(state);
        if (at < 0) {
            states << state;
            counts << 1;
        } else {
            ++counts[at];
        }
    }
    QStringList counted;
    for (qsizetype index = 0; index < states.size(); ++index)
        counted << QStringLiteral("%1 %2").arg(counts[index]).arg(states[index]);
    const QString ports =
        lines.isEmpty() ? QStringLiteral("%1 ports: %2") : QStringLiteral("%1 more ports: %2");
    lines << ports.arg(rest.size()).arg(counted.join(QStringLiteral(", ")));
    return lines;
}
