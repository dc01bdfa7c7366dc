#include "line/session.h"

#include "line/portrun.h"
#include "line/report.h"

Session::Session(const RunOptions &options, const QList<QByteArray> &image, RunReport &report,
                 Recorder &recorder, Trace *trace, OperatorQuestions *questions)
    : m_report(report)
{
    for (int index = 0; index < options.ports.size(); ++index) {
        m_ports.push_back(std::make_unique<PortRun>(options, options.ports[index], image,
                                                    report.addPort(options.ports[index].port),
                                                    recorder, trace, questions));
        connect(m_ports.back().get(), &PortRun::finished, this, &Session::portFinished);
    }
}

Session::~Session() = default;

void Session::start()
{
    m_running = int(m_ports.size());
    for (const auto &port : m_ports)
        port->start();
}

void Session::interrupt(int signalNumber)
{
    for (const auto &port : m_ports)
        port->interrupt(signalNumber);
}

void Session::portFinished()
{
    if (--m_running > 0)
        return;
    QList<BoardResult> results;
    for (const auto &port : m_ports)
        results += port->results();
    // A board not tried for a signal fails the run, as a board at work would.
    const ExitCode exitCode = firstFailure(results);
    m_report.allFinished(results, exitCode);
    emit finished(exitCode);
}
