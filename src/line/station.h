#pragma once

#include "line/boardresult.h"
#include "line/presenceprobe.h"
#include "line/run.h"
#include "line/runoptions.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QTimer>

#include <memory>
#include <vector>

class OperatorQuestions;
class PortRun;
class Recorder;
class Report;
class RunReport;
class Trace;

// bootline-cli --watch: a station that flashes each board put on one of its
// ports. A port that appears settles, then is probed until a board answers;
// the board's job runs; then the station waits for the board to leave (it
// leaves the question unanswered for the whole reply timeout, several times
// in a row, or its port goes away) before it flashes that port again.
// Runs until a signal; the summary then counts each port's boards.
class Station : public Run {
    Q_OBJECT
public:
    // questions: --ask's, put to the operator before each board's job.
    Station(const RunOptions &options, const QList<QByteArray> &image, RunReport &report,
            Recorder &recorder, Trace *trace, OperatorQuestions *questions = nullptr);
    ~Station() override;

    void start() override;
    void interrupt(int signalNumber) override;

private:
    enum class Step { Absent, Settling, AwaitingBoard, Flashing, AwaitingLeave };
    struct Port {
        PortPlan plan;
        Report *report = nullptr;
        Step step = Step::Absent;
        QElapsedTimer since;          // in this step
        QString boardAddress;         // where the last board answered
        bool unreachableSaid = false; // its server took no connection, and we said so
        std::unique_ptr<PresenceProbe> probe;
        std::unique_ptr<PortRun> job;
    };

    void look();
    void advance(Port &port, bool present);
    void probe(Port &port, const QString &address, int attempts);
    void probed(Port &port, PresenceProbe::Outcome outcome, const QString &address);
    void flash(Port &port);
    void flashed(Port &port);
    void enter(Port &port, Step step);
    void endIfIdle();

    const RunOptions &m_options;
    const QList<QByteArray> &m_image;
    RunReport &m_report;
    Recorder &m_recorder;
    Trace *m_trace;
    OperatorQuestions *m_questions;
    std::vector<std::unique_ptr<Port>> m_ports; // each path once, in the order first seen
    QList<BoardResult> m_results;
    QTimer m_look;
    bool m_noPortSaid = false; // no port is there, and the report has said so
    bool m_stopping = false;
    bool m_ended = false;
};
