#include "cli/session.h"

#include "cli/boardjob.h"
#include "cli/report.h"
#include "cli/trace.h"
#include "engine/engine.h"

Session::Session(const CliOptions &options, const QList<QByteArray> &image, Report &report,
                 Trace *trace)
    : m_options(options), m_image(image), m_report(report), m_trace(trace)
{
}

Session::~Session() = default;

void Session::start()
{
    next();
}

void Session::interrupt(int signalNumber)
{
    if (m_job)
        m_job->interrupt(exitCodeForSignal(signalNumber));
}

void Session::next()
{
    m_job.reset();
    m_engine.reset();
    const qsizetype board = m_results.size();
    const bool interrupted = !m_results.isEmpty() && isStopBySignal(m_results.last().exitCode);
    if (board == m_options.addresses.size() || interrupted) {
        const auto failure =
            std::find_if(m_results.begin(), m_results.end(),
                         [](const BoardResult &result) { return result.exitCode != Done; });
        const ExitCode exitCode = failure == m_results.end() ? Done : failure->exitCode;
        m_report.allFinished(m_results, exitCode);
        emit finished(exitCode);
        return;
    }
    m_engine = std::make_unique<Engine>();
    if (m_trace)
        m_trace->follow(*m_engine);
    m_job = std::make_unique<BoardJob>(*m_engine, m_options, m_options.addresses[board], m_image,
                                       m_report);
    connect(m_job.get(), &BoardJob::finished, this, &Session::boardFinished);
    m_job->start();
}

void Session::boardFinished(const BoardResult &result)
{
    m_results.append(result);
    if (result.portUnopened)
        failUntried();
    // The job is still on the stack: go on once it has returned.
    QMetaObject::invokeMethod(this, &Session::next, Qt::QueuedConnection);
}

// A port that cannot be opened fails the boards after it at once, with the
// one message already given, instead of failing the same way for each.
void Session::failUntried()
{
    for (qsizetype board = m_results.size(); board < m_options.addresses.size(); ++board) {
        BoardResult untried;
        untried.board = m_options.addresses[board];
        untried.exitCode = PortFailed;
        untried.failure =
            QStringLiteral("not tried: the port %1 could not be opened").arg(m_options.port);
        untried.untried = true;
        m_results.append(untried);
        m_report.finished(untried);
    }
}
