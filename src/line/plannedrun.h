#pragma once

#include "line/boardresult.h"
#include "line/run.h"
#include "line/runoptions.h"
#include "line/serialportmaker.h"

#include <QByteArray>
#include <QList>
#include <QObject>

#include <memory>
#include <vector>

class OperatorQuestions;
class PortRun;
class PortThread;
class Recorder;
class Report;
class ReportRelay;
class RunReport;
class Trace;

// Every port of the options at once, each with its own engine on a thread of
// its own; the boards on each port in turn. The report, the end and the exit
// code come on the thread that started the run. The exit code is the first failure's,
// in port order.
class PlannedRun : public Run {
    Q_OBJECT
public:
    // image: the firmware as Intel HEX records, read once: every board gets the same.
    // questions: --ask's, put to the operator before each board's job.
    // makePort: the engines' serial ports.
    PlannedRun(const RunOptions &options, const QList<QByteArray> &image, RunReport &report,
               Recorder &recorder, Trace *trace, OperatorQuestions *questions = nullptr,
               SerialPortMaker makePort = {});
    ~PlannedRun() override;

    void start() override;
    void interrupt(int signalNumber) override;

private:
    struct Port {
        Port(const QString &name, Report &face);
        ~Port();
        PortPlan plan;
        // The thread goes first: nothing on it speaks to the relay after.
        std::unique_ptr<ReportRelay> report;
        std::unique_ptr<PortThread> thread;
        PortRun *run = nullptr; // on the thread, touched only there
        QList<BoardResult> results;
    };

    void portFinished(Port &port, const QList<BoardResult> &results);

    const RunOptions &m_options;
    const QList<QByteArray> &m_image;
    RunReport &m_report;
    Recorder &m_recorder;
    Trace *m_trace;
    OperatorQuestions *m_questions;
    SerialPortMaker m_makePort;
    std::vector<std::unique_ptr<Port>> m_ports;
    int m_running = 0;
};
