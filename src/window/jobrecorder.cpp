#include "window/jobrecorder.h"

#include "engine/engine.h"
#include "engine/jobfailure.h"
#include "window/messagebox.h"

#include <QSysInfo>
#include <QUuid>

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
    const JobVerdict verdict = jobVerdict(job, m_engine.rtu(), m_engine.address());
    record.result = verdict.result;
    record.exitCode = verdict.exitCode;
    record.error = verdict.error;
    if (!record.error.isEmpty())
        record.reply = QString::fromLatin1(job.reply.trimmed());
    m_clock.invalidate();
    m_writer.keep(record, [this](const KeepOutcome &kept) {
        if (!kept.stored)
            m_messages.plain(QStringLiteral("The record of this download is not in the store.\n%1")
                                 .arg(kept.message));
    });
}
