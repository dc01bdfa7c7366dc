#include "line/plannedrun.h"

#include "line/portrun.h"
#include "line/portthread.h"
#include "line/report.h"
#include "line/reportrelay.h"

PlannedRun::Port::Port(const QString &name, Report &face)
    : report(std::make_unique<ReportRelay>(face)), thread(std::make_unique<PortThread>(name))
{
}

PlannedRun::Port::~Port() = default;

PlannedRun::PlannedRun(const RunOptions &options, const QList<QByteArray> &image, RunReport &report,
                       Recorder &recorder, Trace *trace, OperatorQuestions *questions,
                       SerialPortMaker makePort)
    : m_options(options), m_image(image), m_report(report), m_recorder(recorder), m_trace(trace),
      m_questions(questions), m_makePort(std::move(makePort))
{
    for (const PortPlan &plan : options.ports) {
        m_ports.push_back(std::make_unique<Port>(plan.port, report.addPort(plan.port)));
        m_ports.back()->plan = plan;
    }
}

// The ports' threads end, and are joined, before anything they use goes.
PlannedRun::~PlannedRun()
{
    m_ports.clear();
}

void PlannedRun::start()
{
    m_running = int(m_ports.size());
    for (const auto &each : m_ports) {
        Port &port = *each;
        port.thread->start();
        port.thread->post([this, &port] {
            port.run = new PortRun(m_options, port.plan, m_image, *port.report, m_recorder, m_trace,
                                   m_questions, m_makePort, port.thread->home());
            connect(port.run, &PortRun::finished, port.run, [this, &port] {
                // Ours to read only here, on the port's thread: a copy goes.
                QMetaObject::invokeMethod(
                    this,
                    [this, &port, results = port.run->results()] { portFinished(port, results); },
                    Qt::QueuedConnection);
            });
            port.run->start();
        });
    }
}

void PlannedRun::interrupt(int signalNumber)
{
    for (const auto &each : m_ports) {
        Port &port = *each;
        port.thread->post([&port, signalNumber] {
            if (port.run)
                port.run->interrupt(signalNumber);
        });
    }
}

// Queued behind the port's reports: the face has had them all by now.
void PlannedRun::portFinished(Port &port, const QList<BoardResult> &results)
{
    port.results = results;
    if (--m_running > 0)
        return;
    QList<BoardResult> inPortOrder;
    for (const auto &each : m_ports)
        inPortOrder += each->results;
    // A board not tried for a signal fails the run, as a board at work would.
    const ExitCode exitCode = firstFailure(inPortOrder);
    m_report.allFinished(inPortOrder, exitCode);
    emit finished(exitCode);
}
