#include "link/linesequence.h"

#include "shared/runtimeerror.h"

#include <QStringList>
#include <utility>

namespace {

// RTS held for 100 ms (reset, on the usual wiring) with DTR (the boot pin)
// let go, then 50 ms for the board to start.
const QString ResetPulse = QStringLiteral("-dtr,rts,wait:100,-rts,wait:50");

} // namespace

std::variant<LineSequence, QString> lineSequenceOfText(const QString &text)
{
    QString steps = text.trimmed();
    if (steps == QStringLiteral("reset"))
        steps = ResetPulse;
    LineSequence sequence;
    for (const QString &item : steps.split(u',')) {
        const QString step = item.trimmed();
        if (step == QStringLiteral("dtr"))
            sequence.append({LineStep::Action::SetDtr});
        else if (step == QStringLiteral("-dtr"))
            sequence.append({LineStep::Action::ClearDtr});
        else if (step == QStringLiteral("rts"))
            sequence.append({LineStep::Action::SetRts});
        else if (step == QStringLiteral("-rts"))
            sequence.append({LineStep::Action::ClearRts});
        else if (step.startsWith(QStringLiteral("wait:"))) {
            bool ok = false;
            const int ms = step.mid(5).toInt(&ok);
            if (!ok || ms < 0 || ms > LongestLineWaitMs)
                return QStringLiteral("\"%1\": a wait is wait:MS, MS a whole number from 0 to %2")
                    .arg(step)
                    .arg(LongestLineWaitMs);
            sequence.append({LineStep::Action::Wait, ms});
        } else {
            return QStringLiteral("\"%1\" is no step: give dtr, -dtr, rts, -rts and wait:MS "
                                  "separated by commas, or reset")
                .arg(step);
        }
    }
    return sequence;
}

QString lineSequenceText(const LineSequence &sequence)
{
    QStringList steps;
    for (const LineStep &step : sequence) {
        switch (step.action) {
        case LineStep::Action::SetDtr:
            steps << QStringLiteral("dtr");
            break;
        case LineStep::Action::ClearDtr:
            steps << QStringLiteral("-dtr");
            break;
        case LineStep::Action::SetRts:
            steps << QStringLiteral("rts");
            break;
        case LineStep::Action::ClearRts:
            steps << QStringLiteral("-rts");
            break;
        case LineStep::Action::Wait:
            steps << QStringLiteral("wait:%1").arg(step.waitMs);
            break;
        }
    }
    return steps.join(u',');
}

namespace {

// A step that sets a line; false for a wait.
bool setLine(const LineStep &step, ModemLines &lines)
{
    switch (step.action) {
    case LineStep::Action::SetDtr:
    case LineStep::Action::ClearDtr:
        lines.setDtr(step.action == LineStep::Action::SetDtr);
        return true;
    case LineStep::Action::SetRts:
    case LineStep::Action::ClearRts:
        lines.setRts(step.action == LineStep::Action::SetRts);
        return true;
    case LineStep::Action::Wait:
        break;
    }
    return false;
}

} // namespace

void runLineSequence(const LineSequence &sequence, ModemLines &lines)
{
    for (const LineStep &step : sequence) {
        if (!setLine(step, lines))
            lines.wait(step.waitMs);
    }
}

TimedLineSequence::TimedLineSequence(LineSequence sequence, ModemLines &lines, Finished finished)
    : m_sequence(std::move(sequence)), m_lines(lines), m_finished(std::move(finished))
{
    m_wait.setSingleShot(true);
    m_wait.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_wait, &QTimer::timeout, [this] { resume(); });
}

void TimedLineSequence::start()
{
    m_next = 0;
    m_running = true;
    resume();
}

void TimedLineSequence::resume()
{
    if (!m_running)
        return;
    try {
        while (m_next < m_sequence.size()) {
            const LineStep &step = m_sequence[m_next++];
            if (!setLine(step, m_lines)) {
                m_wait.start(step.waitMs);
                return;
            }
        }
    } catch (const RuntimeError &refused) {
        m_running = false;
        return m_finished(refused.description());
    }
    m_running = false;
    m_finished({});
}
