#include "line/portrun.h"

#include "engine/engine.h"
#include "line/boardjob.h"
#include "line/operatorquestions.h"
#include "line/recorder.h"
#include "line/report.h"
#include "line/returnaddress.h"
#include "line/trace.h"
#include "line/tracefolder.h"
#include "shared/readable.h"
#include "shared/standardstreams.h"

#include <QFile>
#include <QUuid>

#include <cstdio>
#include <memory>
#include <utility>

PortRun::PortRun(const RunOptions &options, PortPlan plan, const QList<QByteArray> &image,
                 Report &report, Recorder &recorder, Trace *trace, OperatorQuestions *questions,
                 SerialPortMaker makePort, QObject *parent)
    : QObject(parent), m_options(options), m_plan(std::move(plan)), m_image(image),
      m_report(report), m_recorder(recorder), m_trace(trace), m_questions(questions),
      m_makePort(std::move(makePort)), m_returnAddress(ReturnAddress::of(this))
{
}

// Answers still on their way find no one.
PortRun::~PortRun()
{
    m_returnAddress->close();
}

void PortRun::start()
{
    planBoards();
    next();
}

// Each board of the plan gets its job now, and its place in the store: a
// board that never begins (the program killed, the power cut) is known.
void PortRun::planBoards()
{
    for (qsizetype board = 0; board < m_plan.addresses.size(); ++board) {
        m_jobIds.append(QUuid::createUuid().toString(QUuid::WithoutBraces));
        m_recorder.jobPlanned(untriedBoard(board, Interrupted, {}));
    }
}

BoardResult PortRun::untriedBoard(qsizetype board, ExitCode exitCode, const QString &why) const
{
    BoardResult result;
    result.jobId = m_jobIds[board];
    result.port = m_plan.port;
    const QString &address = m_plan.addresses[board];
    result.board = address.isEmpty() ? QStringLiteral("scan") : address;
    result.attempt = m_options.attemptOf(m_plan.port, address);
    result.exitCode = exitCode;
    result.failure = why;
    result.untried = true;
    result.startedAt = result.endedAt = QDateTime::currentDateTimeUtc(); // given up on now
    return result;
}

// Whatever the job is at, even between two boards, no board begins after
// this: those left are recorded as not tried.
void PortRun::interrupt(int signalNumber)
{
    m_stoppedBy = exitCodeForSignal(signalNumber);
    if (m_job)
        m_job->interrupt(m_stoppedBy);
    if (m_question != 0) { // the board waiting for its answers is not begun
        m_questions->withdraw(std::exchange(m_question, 0));
        QMetaObject::invokeMethod(this, &PortRun::next, Qt::QueuedConnection);
    }
}

void PortRun::next()
{
    m_job.reset();
    m_engine.reset();
    if (m_stoppedBy != Done)
        giveUpTheRest(m_stoppedBy, QStringLiteral("not tried: the run was stopped"));
    if (m_begun == m_plan.addresses.size()) {
        m_jobsOver = true;
        return endIfAllKept();
    }
    if (m_questions && !m_answers)
        return askOperator();
    m_engine = std::make_unique<Engine>(makeSerialPort(m_makePort, m_plan.port));
    if (m_trace)
        m_trace->follow(*m_engine, m_plan.port);
    m_job = std::make_unique<BoardJob>(*m_engine, m_options, m_plan.port, m_plan.addresses[m_begun],
                                       m_image, m_report);
    m_job->setJobId(m_jobIds[m_begun++]);
    m_job->setTags(m_answers.value_or(RecordTags()));
    m_answers.reset();
    connect(m_job.get(), &BoardJob::started, this,
            [this](const BoardResult &result) { m_recorder.jobStarted(openTrace(result)); });
    connect(m_job.get(), &BoardJob::finished, this, &PortRun::boardFinished);
    m_job->start();
}

// The operator's answers for the board come before its job; the other ports
// go on meanwhile. Answers that come after the question was withdrawn are
// not this board's any more.
void PortRun::askOperator()
{
    const QString &address = m_plan.addresses[m_begun];
    auto answered = [this](int ticket, const RecordTags &answers) {
        if (m_question != ticket)
            return;
        m_question = 0;
        m_answers = answers;
        next();
    };
    // Known once ask() returns, and read on this thread only, after that.
    auto ticket = std::make_shared<int>(0);
    m_question = m_questions->ask(
        m_plan.port, address.isEmpty() ? QStringLiteral("scan") : address,
        [returnAddress = m_returnAddress, answered, ticket](const RecordTags &answers) {
            returnAddress->post([answered, ticket, answers] { answered(*ticket, answers); });
        });
    *ticket = m_question;
}

// The job's end is told at once; the next board begins while its record is
// kept, which may take as long as the store's timeout.
void PortRun::boardFinished(const BoardResult &ended)
{
    const BoardResult result = closeTrace(ended);
    m_report.jobEnded(result);
    keepRecord(result);
    if (result.portUnopened)
        giveUpTheRest(
            PortFailed,
            QStringLiteral("not tried: the port %1 could not be opened").arg(m_plan.port));
    // The job is still on the stack: the next one begins once it has returned.
    QMetaObject::invokeMethod(this, &PortRun::next, Qt::QueuedConnection);
}

void PortRun::keepRecord(const BoardResult &result)
{
    const qsizetype place = m_results.size();
    m_results.append(result);
    ++m_recordsOnTheirWay;
    m_recorder.keep(result,
                    [this, place, returnAddress = m_returnAddress](const BoardResult &kept) {
                        returnAddress->post([this, place, kept] {
                            m_results[place] = kept;
                            m_report.recorded(kept);
                            --m_recordsOnTheirWay;
                            endIfAllKept();
                        });
                    });
}

void PortRun::endIfAllKept()
{
    if (m_jobsOver && m_recordsOnTheirWay == 0)
        emit finished();
}

// The boards not begun yet are not tried, for the one reason, and each is
// recorded so.
void PortRun::giveUpTheRest(ExitCode exitCode, const QString &why)
{
    for (qsizetype board = m_begun; board < m_plan.addresses.size(); ++board) {
        const BoardResult result = untriedBoard(board, exitCode, why);
        m_report.jobEnded(result);
        keepRecord(result);
    }
    m_begun = m_plan.addresses.size();
}

// --trace-dir: the job's own trace, named by its start, before its port is
// opened; its path goes in the job's records. A trace that cannot be made
// is said, and the job goes on without it.
BoardResult PortRun::openTrace(BoardResult result)
{
    if (m_options.traceDir.isEmpty())
        return result;
    QString error;
    m_jobTrace =
        openJobTrace(m_options.traceDir, traceFileName(result.startedAt, result.port, result.board),
                     &m_jobTracePath, &error);
    if (!m_jobTrace) {
        warnOnStderr(
            QStringLiteral("no trace of board %1 on %2: %3 cannot be made: %4. The job goes on "
                           "without it.")
                .arg(result.board, result.port, visibleText(m_jobTracePath), error));
        m_jobTracePath.clear();
        return result;
    }
    m_jobTrace->follow(*m_engine, result.port);
    result.trace = m_jobTracePath;
    return result;
}

// With --keep-traces failed, a job that ended done leaves no trace, and its
// end record names none.
BoardResult PortRun::closeTrace(BoardResult result)
{
    if (m_jobTracePath.isEmpty())
        return result;
    m_jobTrace->finish();
    const QString path = std::exchange(m_jobTracePath, QString());
    if (!m_options.keepDoneTraces && result.exitCode == Done) {
        if (QFile::remove(path))
            return result;
        warnOnStderr(QStringLiteral("the trace %1 of a job that ended done could not be removed")
                         .arg(visibleText(path)));
    }
    result.trace = path;
    return result;
}
