#pragma once

#include "line/run.h"
#include "line/runoptions.h"

#include <QByteArray>
#include <QList>
#include <QObject>

#include <memory>
#include <vector>

class OperatorQuestions;
class PortRun;
class Recorder;
class RunReport;
class Trace;

// Every port of the options at once, each with its own engine, in one event
// loop; the boards on each port in turn. The exit code is the first failure's,
// in port order.
class Session : public Run {
    Q_OBJECT
public:
    // image: the HEX file's lines, read once: every board gets the same.
    // questions: --ask's, put to the operator before each board's job.
    Session(const RunOptions &options, const QList<QByteArray> &image, RunReport &report,
            Recorder &recorder, Trace *trace, OperatorQuestions *questions = nullptr);
    ~Session() override;

    void start() override;
    void interrupt(int signalNumber) override;

private:
    void portFinished();

    RunReport &m_report;
    std::vector<std::unique_ptr<PortRun>> m_ports;
    int m_running = 0;
};
