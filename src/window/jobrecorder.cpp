#include "window/jobrecorder.h"

#include "engine/engine.h"
#include "engine/jobfailure.h"
#include "shared/exitcode.h"
#include "window/messagebox.h"

#include <QSysInfo>
#include <QUuid>

namespace {

QString lineName(const JobResult &job)
{
    return QStringLiteral("%1line %2 of %3")
        .arg(job.pass == Pass::Verify ? QStringLiteral("verify ") : QString())
        .arg(job.line)
        .arg(job.lines);
}

// The result, the exit code and the error, as the terminal face records
// them, so that one history reads the same for both faces.
void describeOutcome(const JobResult &job, int rtu, const QString &address, JobRecord &record)
{
    record.result = QStringLiteral("failed");
    switch (job.outcome) {
    case JobResult::Outcome::Verified:
        record.result = QStringLiteral("done");
        record.exitCode = Done;
        return;
    case JobResult::Outcome::NotVerified:
        record.exitCode = NoReply;
        record.error = notVerifiedFailure(job.verifiedInStep, job.lines);
        return;
    case JobResult::Outcome::ExtraReply:
        record.exitCode = ExtraReplies;
        record.error = extraReplyFailure(rtu, address);
        return;
    case JobResult::Outcome::Restarted:
        record.exitCode = BoardRestarted;
        record.error = restartFailure(rtu, address, job.pass, job.line);
        return;
    case JobResult::Outcome::Refused:
        record.exitCode = BoardRefused;
        record.error = QStringLiteral("the board refused %1").arg(lineName(job));
        return;
    case JobResult::Outcome::Unanswered:
        record.exitCode = NoReply;
        record.error = QStringLiteral("no reply to %1").arg(lineName(job));
        return;
    case JobResult::Outcome::DeviceLost:
        record.exitCode = PortFailed;
        record.error = QStringLiteral("the port was lost at %1").arg(lineName(job));
        return;
    case JobResult::Outcome::Stopped:
        record.result = QStringLiteral("interrupted");
        record.exitCode = Interrupted;
        record.error = QStringLiteral("the port was closed at %1").arg(lineName(job));
        return;
    case JobResult::Outcome::Replaced:
        record.result = QStringLiteral("interrupted");
        record.exitCode = Interrupted;
        record.error = QStringLiteral("another file was loaded at %1").arg(lineName(job));
        return;
    }
}

} // namespace

JobRecorder::JobRecorder(Engine &engine, const StoreAddress &store, int timeoutMs,
                         MessageBox &messages)
    : m_engine(engine), m_writer(store, timeoutMs), m_messages(messages)
{
    connect(&engine, &Engine::passStarted, this, [this](Pass pass) {
        if (pass != Pass::Download)
            return;
        m_jobId = QUuid::createUuid().toString(QUuid::WithoutBraces);
        m_started = QDateTime::currentDateTimeUtc();
        m_clock.start();
        // The engine names the job's file once its first line is out.
        QMetaObject::invokeMethod(this, &JobRecorder::jobStarted, Qt::QueuedConnection);
    });
    connect(&engine, &Engine::jobEnded, this, &JobRecorder::jobEnded);
}

// Says in the history that the job began, should the window never get to its end.
void JobRecorder::jobStarted()
{
    if (!m_clock.isValid())
        return; // over already: its end record says it all
    JobRecord record = recordOf(m_engine.jobSoFar());
    record.result = QStringLiteral("started");
    record.ended = QDateTime();
    m_writer.keep(record, [](const KeepOutcome &) {}); // its end record is the one reported
}

JobRecord JobRecorder::recordOf(const JobResult &job) const
{
    JobRecord record;
    record.jobId = m_jobId;
    record.started = m_started;
    record.ended = QDateTime::currentDateTimeUtc();
    record.seconds = m_clock.isValid() ? m_clock.elapsed() / 1000.0 : 0;
    record.face = QStringLiteral("window");
    record.host = QSysInfo::machineHostName();
    record.port = m_engine.portName();
    record.board = m_engine.address().isEmpty() ? QStringLiteral("scan") : m_engine.address();
    record.version = QString::fromLatin1(job.versionReply.trimmed());
    record.file = job.file;
    record.sha256 = QString::fromLatin1(job.sha256);
    record.fileLines = job.lines;
    record.lines = job.linesSent;
    record.pace =
        m_engine.pace() == Engine::Pace::Reply ? QStringLiteral("reply") : QStringLiteral("poll");
    record.resends = job.resends;
    return record;
}

void JobRecorder::jobEnded(const JobResult &job)
{
    JobRecord record = recordOf(job);
    describeOutcome(job, m_engine.rtu(), m_engine.address(), record);
    if (!record.error.isEmpty())
        record.reply = QString::fromLatin1(job.reply.trimmed());
    m_clock.invalidate();
    m_writer.keep(record, [this](const KeepOutcome &kept) {
        if (!kept.stored)
            m_messages.plain(QStringLiteral("The record of this download is not in the store.\n%1")
                                 .arg(kept.message));
    });
}
