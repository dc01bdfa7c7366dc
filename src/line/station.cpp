#include "line/station.h"

#include "engine/jobpolicy.h"
#include "line/portrun.h"
#include "line/portwatch.h"
#include "line/report.h"

#include <utility>

namespace {

constexpr int LookMs = 250; // how often the ports present are looked at
// Probes in a row, each unanswered for the whole reply timeout (and one more
// for each resend --retries allows): the board has left.
constexpr int LeaveProbes = 3;

} // namespace

Station::Station(const RunOptions &options, const QList<QByteArray> &image, RunReport &report,
                 Recorder &recorder, Trace *trace, OperatorQuestions *questions)
    : m_options(options), m_image(image), m_report(report), m_recorder(recorder), m_trace(trace),
      m_questions(questions)
{
    m_look.setInterval(LookMs);
    connect(&m_look, &QTimer::timeout, this, &Station::look);
}

Station::~Station() = default;

void Station::start()
{
    m_report.watchStarted(m_options.ports);
    m_look.start();
    look();
}

void Station::interrupt(int signalNumber)
{
    m_stopping = true;
    m_look.stop();
    for (const auto &port : m_ports) {
        port->probe.reset();
        if (port->job)
            port->job->interrupt(signalNumber);
    }
    endIfIdle();
}

void Station::look()
{
    const QList<PortPlan> present = portsPresent(m_options.ports);
    if (present.isEmpty() && !m_noPortSaid)
        m_report.noPortPresent(m_options.ports);
    m_noPortSaid = present.isEmpty();
    for (const PortPlan &plan : present) {
        const bool known = std::any_of(m_ports.begin(), m_ports.end(), [&plan](const auto &port) {
            return port->plan.port == plan.port;
        });
        if (known)
            continue;
        auto port = std::make_unique<Port>();
        port->plan = plan;
        port->report = &m_report.addPort(plan.port);
        m_ports.push_back(std::move(port));
    }
    for (const auto &port : m_ports) {
        const bool there =
            std::any_of(present.begin(), present.end(),
                        [&port](const PortPlan &plan) { return plan.port == port->plan.port; });
        advance(*port, there);
    }
}

void Station::advance(Port &port, bool present)
{
    if (!present && port.step != Step::Absent && port.step != Step::Flashing) {
        port.probe.reset();
        port.report->watching(Watch::Gone);
        return enter(port, Step::Absent);
    }
    switch (port.step) {
    case Step::Absent:
        if (present) {
            port.report->watching(Watch::Appeared);
            enter(port, Step::Settling);
        }
        return;
    case Step::Settling:
        if (port.since.elapsed() >= m_options.settleMs) {
            port.report->watching(Watch::AwaitingBoard);
            enter(port, Step::AwaitingBoard);
        }
        return;
    case Step::AwaitingBoard:
        // The first board of the port's list, or a scan: whoever answers is flashed.
        if (!port.probe)
            probe(port, port.plan.addresses.first(),
                  port.plan.addresses.first().isEmpty() ? JobTiming::ProbeAttempts : 1);
        return;
    case Step::AwaitingLeave:
        if (!port.probe)
            probe(port, port.boardAddress, LeaveProbes + m_options.retries);
        return;
    case Step::Flashing:
        return;
    }
}

void Station::probe(Port &port, const QString &address, int attempts)
{
    port.probe =
        std::make_unique<PresenceProbe>(port.plan.port, address, m_options.plain,
                                        m_options.replyTimeoutMs, attempts, m_options.lineOptions);
    connect(port.probe.get(), &PresenceProbe::finished, this,
            [this, &port](PresenceProbe::Outcome outcome, const QString &found) {
                probed(port, outcome, found);
            });
    port.probe->start();
}

void Station::probed(Port &port, PresenceProbe::Outcome outcome, const QString &address)
{
    port.probe.release()->deleteLater(); // it is the one telling us
    if (m_stopping)
        return;
    if (outcome == PresenceProbe::Outcome::PortMissing) {
        port.report->watching(Watch::Gone);
        return enter(port, Step::Absent);
    }
    if (outcome == PresenceProbe::Outcome::Unreachable) {
        if (!std::exchange(port.unreachableSaid, true))
            port.report->watching(Watch::Unreachable);
        return; // the same question at the next look
    }
    if (std::exchange(port.unreachableSaid, false)) // the server is back: where we were
        port.report->watching(port.step == Step::AwaitingLeave ? Watch::AwaitingLeave
                                                               : Watch::AwaitingBoard);
    if (outcome == PresenceProbe::Outcome::Busy)
        return; // no news of the board: the same question at the next look
    const bool answered = outcome == PresenceProbe::Outcome::Answered;
    if (port.step == Step::AwaitingBoard && answered) {
        port.boardAddress = address;
        return flash(port);
    }
    if (port.step == Step::AwaitingLeave && !answered) {
        port.report->watching(Watch::AwaitingBoard);
        enter(port, Step::AwaitingBoard);
    }
    // Otherwise the same question again, at the next look.
}

void Station::flash(Port &port)
{
    enter(port, Step::Flashing);
    // A scan has found the board already: the job need not scan again.
    PortPlan plan = port.plan;
    if (plan.addresses.first().isEmpty())
        plan.addresses = {port.boardAddress};
    port.job = std::make_unique<PortRun>(m_options, plan, m_image, *port.report, m_recorder,
                                         m_trace, m_questions);
    connect(port.job.get(), &PortRun::finished, this, [this, &port] { flashed(port); });
    port.job->start();
}

void Station::flashed(Port &port)
{
    const QList<BoardResult> results = port.job->results();
    m_results += results;
    // The job is still on the stack: it goes once it has returned.
    port.job.release()->deleteLater();
    if (m_stopping)
        return endIfIdle();
    // Where the board answers now: a scan found it, or it took a new address.
    if (!results.isEmpty() && results.first().board != QStringLiteral("scan"))
        port.boardAddress = results.first().board;
    port.report->watching(Watch::AwaitingLeave);
    enter(port, Step::AwaitingLeave);
}

void Station::enter(Port &port, Step step)
{
    port.step = step;
    port.since.start();
}

// Once no job is at work, the summary: every board in port order.
void Station::endIfIdle()
{
    const bool busy = std::any_of(m_ports.begin(), m_ports.end(),
                                  [](const auto &port) { return port->job != nullptr; });
    if (busy || m_ended)
        return;
    m_ended = true;
    QList<BoardResult> inPortOrder;
    for (const auto &port : m_ports) {
        std::copy_if(m_results.begin(), m_results.end(), std::back_inserter(inPortOrder),
                     [&port](const BoardResult &result) { return result.port == port->plan.port; });
    }
    const ExitCode exitCode = firstFailure(inPortOrder);
    m_report.allFinished(inPortOrder, exitCode);
    emit finished(exitCode);
}
