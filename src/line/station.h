#pragma once

#include "line/boardresult.h"
#include "line/presenceprobe.h"
#include "line/run.h"
#include "line/runoptions.h"
#include "line/serialportmaker.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QTimer>

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

// bootline-cli --watch: a station that flashes each board put on one of its
// ports. A port that appears settles, then is probed until a board answers;
// the board's job runs; then the station waits for the board to leave (it
// leaves the question unanswered for the whole reply timeout, several times
// in a row, or its port goes away) before it flashes that port again.
// Runs until a signal; the summary then counts each port's boards. Each
// port's probes and jobs run on a thread of the port's own; the station
// decides on its own thread from what they tell it.
class Station : public Run {
    Q_OBJECT
public:
    // questions: --ask's, put to the operator before each board's job.
    // makePort: the probes' and the engines' serial ports.
    Station(const RunOptions &options, const QList<QByteArray> &image, RunReport &report,
            Recorder &recorder, Trace *trace, OperatorQuestions *questions = nullptr,
            SerialPortMaker makePort = {});
    ~Station() override;

    void start() override;
    void interrupt(int signalNumber) override;

private:
    enum class Step { Absent, Settling, AwaitingBoard, Flashing, AwaitingLeave };
    struct Port {
        Port(const PortPlan &plan, Report &face);
        ~Port();
        PortPlan plan;
        Report *report = nullptr; // the face's, told here
        Step step = Step::Absent;
        QElapsedTimer since;          // in this step
        QString boardAddress;         // where the last board answered
        bool unreachableSaid = false; // its server took no connection, and we said so
        int probes = 0;               // begun so far: the number of the one that counts
        bool probing = false;
        bool flashing = false;
        // The thread goes first: nothing on it speaks to the relay after.
        std::unique_ptr<ReportRelay> relay; // the face's report, told from the thread
        std::unique_ptr<PortThread> thread;
        // On the thread, touched only there.
        PresenceProbe *probe = nullptr;
        PortRun *job = nullptr;
    };

    void look();
    void advance(Port &port, bool present);
    void probe(Port &port, const QString &address, int attempts);
    void stopProbing(Port &port);
    void probed(Port &port, int probe, PresenceProbe::Outcome outcome, const QString &address);
    void flash(Port &port);
    void flashed(Port &port, const QList<BoardResult> &results);
    void enter(Port &port, Step step);
    void endIfIdle();

    const RunOptions &m_options;
    const QList<QByteArray> &m_image;
    RunReport &m_report;
    Recorder &m_recorder;
    Trace *m_trace;
    OperatorQuestions *m_questions;
    SerialPortMaker m_makePort;
    std::vector<std::unique_ptr<Port>> m_ports; // each path once, in the order first seen
    QList<BoardResult> m_results;
    QTimer m_look;
    bool m_noPortSaid = false; // no port is there, and the report has said so
    bool m_stopping = false;
    bool m_ended = false;
};
