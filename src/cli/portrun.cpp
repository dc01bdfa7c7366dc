#include "cli/portrun.h"

#include "cli/boardjob.h"
#include "cli/recorder.h"
#include "cli/report.h"
#include "cli/trace.h"
#include "engine/engine.h"

PortRun::PortRun(const CliOptions &options, PortPlan plan, const QList<QByteArray> &image,
                 Report &report, Recorder &recorder, Trace *trace)
    : m_options(options), m_plan(std::move(plan)), m_image(image), m_report(report),
      m_recorder(recorder), m_trace(trace)
{
}

PortRun::~PortRun() = default;

void PortRun::start()
{
    next();
}

// Whatever the job is at, even between two boards (the last one's record
// still being kept), no board begins after this.
void PortRun::interrupt(int signalNumber)
{
    m_stoppedBy = exitCodeForSignal(signalNumber);
    if (m_job)
        m_job->interrupt(m_stoppedBy);
}

void PortRun::next()
{
    m_job.reset();
    m_engine.reset();
    const qsizetype board = m_results.size();
    if (board == m_plan.addresses.size() || m_stoppedBy != Done) {
        emit finished();
        return;
    }
    m_engine = std::make_unique<Engine>();
    if (m_trace)
        m_trace->follow(*m_engine, m_plan.port);
    m_job = std::make_unique<BoardJob>(*m_engine, m_options, m_plan.port, m_plan.addresses[board],
                                       m_image, m_report);
    connect(m_job.get(), &BoardJob::finished, this, &PortRun::boardFinished);
    m_job->start();
}

void PortRun::boardFinished(const BoardResult &result)
{
    QList<BoardResult> ended{result};
    if (result.portUnopened)
        ended += untriedAfter(m_results.size() + 1);
    const qsizetype expected = m_results.size() + ended.size();
    for (const BoardResult &each : std::as_const(ended)) {
        // The record first, so that the report can say whether it was kept.
        // It comes once the job has returned: the next board may begin.
        m_recorder.keep(each, [this, expected](const BoardResult &kept) {
            m_report.finished(kept);
            m_results.append(kept);
            if (m_results.size() == expected)
                next();
        });
    }
}

// A port that cannot be opened fails the boards after it at once, with the
// one message already given, instead of failing the same way for each.
QList<BoardResult> PortRun::untriedAfter(qsizetype first) const
{
    QList<BoardResult> untried;
    for (qsizetype board = first; board < m_plan.addresses.size(); ++board) {
        BoardResult result;
        result.port = m_plan.port;
        result.board = m_plan.addresses[board];
        result.exitCode = PortFailed;
        result.failure =
            QStringLiteral("not tried: the port %1 could not be opened").arg(m_plan.port);
        result.untried = true;
        result.startedAt = result.endedAt = QDateTime::currentDateTimeUtc(); // given up on now
        untried.append(result);
    }
    return untried;
}
