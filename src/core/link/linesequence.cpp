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

TimedLineSequence::TimedLineSequence(LineSequence sequence, ModemLines &lines, Finished finished)
    : m_sequence(std::move(sequence)), m_lines(lines), m_finished(std::move(finished))
{
    m_wait.setSingleShot(true);
    m_wait.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_wait, &QTimer::timeout, [this] { resume(); });
}

bool TimedLineSequence::start()
{
    m_next = 0;
    return runToNextWait();
}

bool TimedLineSequence::runToNextWait()
{
    while (m_next < m_sequence.size()) {
        const LineStep &step = m_sequence[m_next++];
        if (!setLine(step, m_lines)) {
            m_wait.start(m_lines.waitTimerMs(step.waitMs));
            return false;
        }
    }
    return true;
}

// Told on the next turn of the event loop, so that the one who hears it may
// delete us; the timer being gone with us, nothing is told then.
void TimedLineSequence::resume()
{
    QString failure;
    try {
        if (!runToNextWait())
            return;
    } catch (const RuntimeError &refused) {
        failure = refused.description();
    }
    QTimer::singleShot(0, &m_wait, [this, failure] {
        const Finished finished = m_finished; // we may be gone once it returns
        finished(failure);
    });
}

void TimedLineSequence::finishNow()
{
    if (!m_wait.isActive())
        return;
    const int left = m_wait.remainingTime();
    m_wait.stop();
    m_lines.wait(qMax(left, 0));
    while (m_next < m_sequence.size()) {
        const LineStep &step = m_sequence[m_next++];
        if (!setLine(step, m_lines))
            m_lines.wait(step.waitMs);
    }
}
