#pragma once

#include "engine/jobevents.h"
#include "line/boardresult.h"
#include "line/report.h"
#include "line/runoptions.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>

class Engine;

// One board's job, done by the engine as an operator would do it in the
// window: Open Port and the probe, then what the options ask for in this
// order: the version, the download with its verify pass, the new address,
// the install command; then Close Port (a dry run closes it after the
// probe). Only decides what comes next, from the engine's job events:
// resends and timeouts are the engine's policy.
class BoardJob : public QObject {
    Q_OBJECT
public:
    // port and address: as a PortPlan gives them, the address as the
    // address box text; image: the firmware as Intel HEX records, read once for all the
    // boards of a run.
    BoardJob(Engine &engine, const RunOptions &options, const QString &port, const QString &address,
             const QList<QByteArray> &image, Report &report);

    // The operator's answers for this board, on its records; before start().
    void setTags(const RecordTags &tags) { m_result.tags = tags; }
    // The job the run's plan gave the board, so that its records stand over
    // the plan's; before start().
    void setJobId(const QString &jobId) { m_result.jobId = jobId; }
    void start();
    void interrupt(ExitCode code = Interrupted); // a signal: close the port and end

signals:
    // At the top of start(), before the port is opened.
    void started(const BoardResult &result);
    void finished(const BoardResult &result);

private:
    enum class Step { Open, Probe, Download, NewAddress, Install, Ended };

    void onPortOpened();
    void onPortOpenFailed(const QString &why);
    void probed();
    void downloaded();
    void addressed();

    void onBoardFound(const QString &address, const QByteArray &versionReply);
    void onJobEnded(const JobResult &job);
    void onCommandAnswered(DeviceCommand command, ReplyKeyword keyword, const QByteArray &reply);
    void onCommandUnanswered(DeviceCommand command);

    QString newAddress() const;
    void failDownload(const JobResult &job, const QByteArray &reply);
    QString whatToDo(const JobResult &job) const;
    void fail(ExitCode code, const QString &failure, const QByteArray &reply = {});
    void end(ExitCode code);

    Engine &m_engine;
    const RunOptions &m_options;
    const QList<QByteArray> &m_image;
    Report &m_report;
    Step m_step = Step::Open;
    BoardResult m_result;
    QElapsedTimer m_clock;
    bool m_portOpened = false;
};
