#pragma once

#include "line/boardresult.h"
#include "line/runoptions.h"
#include "line/serialportmaker.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QStringList>
#include <memory>
#include <optional>

class BoardJob;
class Engine;
class OperatorQuestions;
class Recorder;
class Report;
class ReturnAddress;
class Trace;

// The boards on one port's bus, one after the other, each on an engine of
// its own. Runs on the port's own thread; the recorder and the questions
// answer it there.
class PortRun : public QObject {
    Q_OBJECT
public:
    // image: the firmware as Intel HEX records, read once: every board gets the same.
    // questions: --ask's, put to the operator before each board's job.
    // makePort: the engines' serial ports.
    PortRun(const RunOptions &options, PortPlan plan, const QList<QByteArray> &image,
            Report &report, Recorder &recorder, Trace *trace,
            OperatorQuestions *questions = nullptr, SerialPortMaker makePort = {},
            QObject *parent = nullptr);
    ~PortRun() override;

    void start();
    // A signal: the board at work closes its port, and no board begins after it.
    void interrupt(int signalNumber);

    // Every board of the plan, in its order, once finished.
    const QList<BoardResult> &results() const { return m_results; }

signals:
    // Every board's job over and its record kept or given up on.
    void finished();

private:
    void planBoards();
    BoardResult untriedBoard(qsizetype board, ExitCode exitCode, const QString &why) const;
    void next();
    void askOperator();
    void boardFinished(const BoardResult &ended);
    void keepRecord(const BoardResult &result);
    void endIfAllKept();
    void giveUpTheRest(ExitCode exitCode, const QString &why);
    BoardResult openTrace(BoardResult result);
    BoardResult closeTrace(BoardResult result);

    const RunOptions &m_options;
    const PortPlan m_plan;
    const QList<QByteArray> &m_image;
    Report &m_report;
    Recorder &m_recorder;
    Trace *m_trace;
    QList<BoardResult> m_results;
    QStringList m_jobIds;        // each board's of the plan, in its order
    qsizetype m_begun = 0;       // boards of the plan begun or given up on
    int m_recordsOnTheirWay = 0; // records asked for, not yet kept or given up on
    bool m_jobsOver = false;
    // --trace-dir: the job's own trace, kept until its engine is gone, as
    // the engine's signals write to it.
    std::unique_ptr<Trace> m_jobTrace;
    QString m_jobTracePath;
    std::unique_ptr<Engine> m_engine;
    std::unique_ptr<BoardJob> m_job;
    ExitCode m_stoppedBy = Done;
    OperatorQuestions *m_questions;
    SerialPortMaker m_makePort;
    std::shared_ptr<ReturnAddress> m_returnAddress; // for the recorder's and the questions' answers
    int m_question = 0;                             // the board's questions, while they wait
    std::optional<RecordTags> m_answers;            // the next board's, once given
};
