#include "line/station.h"

#include "engine/jobpolicy.h"
#include "line/portrun.h"
#include "line/portthread.h"
#include "line/portwatch.h"
#include "line/report.h"
#include "line/reportrelay.h"

#include <utility>

namespace {

constexpr int LookMs = 250; // how often the ports present are looked at
// Probes in a row, each unanswered for the whole reply timeout (and one more
// for each resend --retries allows): the board has left.
constexpr int LeaveProbes = 3;

} // namespace

Station::Port::Port(const PortPlan &plan, Report &face)
    : plan(plan), report(&face), relay(std::make_unique<ReportRelay>(face)),
      thread(std::make_unique<PortThread>(plan.port))
{
    thread->start();
}

Station::Port::~Port() = default;

Station::Station(const RunOptions &options, const QList<QByteArray> &image, RunReport &report,
                 Recorder &recorder, Trace *trace, OperatorQuestions *questions,
                 SerialPortMaker makePort)
    : m_options(options), m_image(image), m_report(report), m_recorder(recorder), m_trace(trace),
      m_questions(questions), m_makePort(std::move(makePort))
{
    m_look.setInterval(LookMs);
    connect(&m_look, &QTimer::timeout, this, &Station::look);
}

// The ports' threads end, and are joined, before anything they use goes.
Station::~Station()
{
    m_ports.clear();
}

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
    for (const auto &each : m_ports) {
        Port &port = *each;
        stopProbing(port);
        if (port.flashing)
            port.thread->post([&port, signalNumber] {
                if (port.job) // it may be over already, and its end on its way here
                    port.job->interrupt(signalNumber);
            });
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
        m_ports.push_back(std::make_unique<Port>(plan, m_report.addPort(plan.port)));
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
        stopProbing(port);
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
        if (!port.probing)
            probe(port, port.plan.addresses.first(),
                  port.plan.addresses.first().isEmpty() ? JobTiming::ProbeAttempts : 1);
        return;
    case Step::AwaitingLeave:
        if (!port.probing)
            probe(port, port.boardAddress, LeaveProbes + m_options.retries);
        return;
    case Step::Flashing:
        return;
    }
}

void Station::probe(Port &port, const QString &address, int attempts)
{
    port.probing = true;
    const int number = ++port.probes;
    port.thread->post([this, &port, address, attempts, number] {
        port.probe = new PresenceProbe(port.plan.port, address, m_options.plain,
                                       m_options.replyTimeoutMs, attempts, m_options.lineOptions,
                                       makeSerialPort(m_makePort, port.plan.port));
        port.probe->setParent(port.thread->home());
        connect(
            port.probe, &PresenceProbe::finished, port.probe,
            [this, &port, number](PresenceProbe::Outcome outcome, const QString &found) {
                std::exchange(port.probe, nullptr)->deleteLater(); // it is the one telling us
                QMetaObject::invokeMethod(
                    this,
                    [this, &port, number, outcome, found] { probed(port, number, outcome, found); },
                    Qt::QueuedConnection);
            });
        port.probe->start();
    });
}

// The probe at work goes, and what it may still tell is not listened to.
void Station::stopProbing(Port &port)
{
    if (!std::exchange(port.probing, false))
        return;
    ++port.probes;
    port.thread->post([&port] { delete std::exchange(port.probe, nullptr); });
}

void Station::probed(Port &port, int probe, PresenceProbe::Outcome outcome, const QString &address)
{
    if (probe != port.probes || !port.probing)
        return; // stopped since
    port.probing = false;
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
    port.flashing = true;
    port.thread->post([this, &port, plan] {
        port.job = new PortRun(m_options, plan, m_image, *port.relay, m_recorder, m_trace,
                               m_questions, m_makePort, port.thread->home());
        connect(port.job, &PortRun::finished, port.job, [this, &port] {
            // The job is still on the stack: it goes once it has returned.
            PortRun *job = std::exchange(port.job, nullptr);
            job->deleteLater();
            QMetaObject::invokeMethod(
                this, [this, &port, results = job->results()] { flashed(port, results); },
                Qt::QueuedConnection);
        });
        port.job->start();
    });
}

// Queued behind the job's reports: the face has had them all by now.
void Station::flashed(Port &port, const QList<BoardResult> &results)
{
    port.flashing = false;
    m_results += results;
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
                                  [](const auto &port) { return port->flashing; });
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
