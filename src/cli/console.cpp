#include "cli/console.h"

#include "shared/readable.h"

#include <algorithm>

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

void print(std::FILE *stream, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

} // namespace

Console::Console(bool terminal, bool severalPorts)
    : m_terminal(terminal), m_severalPorts(severalPorts)
{
}

int Console::addPort()
{
    eraseLive(); // the block grows by a line
    m_live.append(QString());
    m_held.append(QList<std::pair<std::FILE *, QString>>());
    drawLive();
    return int(m_live.size() - 1);
}

// Every line may hold a board's words or a stored record's: what a terminal
// would obey in them is shown instead.
void Console::show(int port, const QString &text)
{
    const QString live = visibleText(text);
    if (!m_terminal || m_live[port] == live)
        return;
    m_live[port] = live;
    if (!hasSeveralPorts()) {
        if (live.isEmpty())
            return eraseLive();
        print(stdout, QStringLiteral("\r%1   ").arg(live));
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
    print(stream, line + u'\n');
    if (hasSeveralPorts())
        drawLive();
}

void Console::release(int port)
{
    for (const auto &[stream, line] : std::as_const(m_held[port]))
        print(stream, line + u'\n');
    m_held[port].clear();
}

void Console::runEnded()
{
    m_live.fill(QString());
    eraseLive();
}

void Console::eraseLive()
{
    if (!m_liveShown)
        return;
    m_liveShown = false;
    if (!hasSeveralPorts()) {
        print(stdout, QStringLiteral("\r%1\r").arg(QString(), 64));
        return;
    }
    // Up to the first live line, and everything below it away.
    print(stdout, QStringLiteral("\x1b[%1A\r\x1b[J").arg(m_live.size()));
}

void Console::drawLive()
{
    if (std::all_of(m_live.begin(), m_live.end(),
                    [](const QString &live) { return live.isEmpty(); }))
        return;
    const int width = liveWidth();
    QString block;
    for (const QString &live : std::as_const(m_live))
        block += live.left(width) + u'\n';
    print(stdout, block);
    m_liveShown = true;
}
