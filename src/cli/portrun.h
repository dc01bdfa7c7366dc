#pragma once

#include "cli/boardresult.h"
#include "cli/options.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <memory>

class BoardJob;
class Engine;
class Recorder;
class Report;
class Trace;

// The boards on one port's bus, one after the other, each on an engine of
// its own.
class PortRun : public QObject {
    Q_OBJECT
public:
    // image: the HEX file's lines, read once: every board gets the same.
    PortRun(const CliOptions &options, PortPlan plan, const QList<QByteArray> &image,
            Report &report, Recorder &recorder, Trace *trace);
    ~PortRun() override;

    void start();
    // A signal: the board at work closes its port, and no board begins after it.
    void interrupt(int signalNumber);

    const QList<BoardResult> &results() const { return m_results; }
    // The signal's exit code once one stopped it before its last board; Done otherwise.
    ExitCode stoppedBy() const
    {
        return m_results.size() < m_plan.addresses.size() ? m_stoppedBy : Done;
    }

signals:
    void finished();

private:
    void next();
    void boardFinished(const BoardResult &result);
    QList<BoardResult> untriedAfter(qsizetype first) const;

    const CliOptions &m_options;
    const PortPlan m_plan;
    const QList<QByteArray> &m_image;
    Report &m_report;
    Recorder &m_recorder;
    Trace *m_trace;
    QList<BoardResult> m_results;
    std::unique_ptr<Engine> m_engine;
    std::unique_ptr<BoardJob> m_job;
    ExitCode m_stoppedBy = Done;
};
