#include "window/progresstip.h"

#include "engine/engine.h"

#include <QHelpEvent>
#include <QToolTip>
#include <QWidget>

#include <utility>

namespace {

// 0:31, 12:05, 1:02:03: minutes and seconds, hours only when there are some.
QString clockText(qint64 ms)
{
    const qint64 seconds = (ms + 500) / 1000;
    const auto two = [](qint64 n) { return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0')); };
    if (seconds >= 3600)
        return QStringLiteral("%1:%2:%3")
            .arg(seconds / 3600)
            .arg(two(seconds / 60 % 60), two(seconds % 60));
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(two(seconds % 60));
}

} // namespace

QString progressTipText(Pass pass, int line, int lines, std::optional<qint64> msLeft)
{
    QString text =
        QStringLiteral("line %1 of %2, %3 pass")
            .arg(line)
            .arg(lines)
            .arg(pass == Pass::Download ? QStringLiteral("download") : QStringLiteral("verify"));
    if (msLeft)
        text += QStringLiteral(", about %1 left").arg(clockText(*msLeft));
    return text;
}

JobPace::JobPace(MsClock nowMs) : m_nowMs(nowMs ? std::move(nowMs) : monotonicClock()) {}

void JobPace::passStarted(Pass pass, qint16 lines)
{
    if (pass == Pass::Download)
        m_sent = 0; // a new job
    m_pass = pass;
    m_lines = lines;
    m_line = 0;
}

void JobPace::lineSent(Pass pass, qint16 line)
{
    if (!running() || pass != m_pass)
        return;
    const qint64 now = m_nowMs();
    if (m_sent == 0)
        m_firstSentAtMs = now;
    m_lastSentAtMs = now;
    m_line = line;
    ++m_sent;
}

void JobPace::jobEnded()
{
    m_lines = 0;
    m_line = 0;
    m_sent = 0;
}

std::optional<qint64> JobPace::msLeft() const
{
    if (!running() || m_sent < 2)
        return std::nullopt;
    const double msPerLine = double(m_lastSentAtMs - m_firstSentAtMs) / (m_sent - 1);
    // The line out now is not answered yet: it counts as left, less what of
    // it has gone by.
    int linesLeft = m_lines - m_line + 1;
    if (m_pass == Pass::Download)
        linesLeft += m_lines;
    const qint64 left = qint64(msPerLine * linesLeft) - (m_nowMs() - m_lastSentAtMs);
    return qMax<qint64>(0, left);
}

QString JobPace::text() const
{
    if (!running())
        return {};
    return progressTipText(m_pass, qMax(1, m_line), m_lines, msLeft());
}

ProgressTip::ProgressTip(QWidget *bar, const Engine &engine, MsClock nowMs)
    : QObject(bar), m_pace(std::move(nowMs))
{
    connect(&engine, &Engine::passStarted, this,
            [this](Pass pass, qint16 lines) { m_pace.passStarted(pass, lines); });
    connect(&engine, &Engine::lineSent, this,
            [this](Pass pass, qint16 line) { m_pace.lineSent(pass, line); });
    connect(&engine, &Engine::jobEnded, this, [this] { m_pace.jobEnded(); });
    bar->installEventFilter(this);
}

bool ProgressTip::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::ToolTip)
        return QObject::eventFilter(watched, event);
    const QString text = m_pace.text();
    auto *bar = static_cast<QWidget *>(watched);
    if (text.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(static_cast<QHelpEvent *>(event)->globalPos(), text, bar);
    return true;
}
