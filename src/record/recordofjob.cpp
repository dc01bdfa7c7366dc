#include "record/recordofjob.h"

#include "link/networkaddress.h"

#include <QSysInfo>

namespace {

JobRecord recordOf(const JobSite &site, const JobResult &job)
{
    JobRecord record;
    record.jobId = site.jobId;
    record.runId = site.runId;
    record.attempt = site.attempt;
    record.tags = site.tags;
    record.trace = site.trace;
    record.started = site.started;
    record.ended = site.ended;
    record.seconds = site.seconds;
    record.face = site.face;
    record.host = QSysInfo::machineHostName();
    record.port = site.port;
    record.portKind = portReachName(portReachOfName(site.port));
    record.board = site.board.isEmpty() ? QStringLiteral("scan") : site.board;
    // The probe's answer comes with its line's end, no part of the version.
    record.version = QString::fromLatin1(job.versionReply.trimmed());
    record.file = job.file;
    record.sha256 = QString::fromLatin1(job.sha256);
    record.fileLines = job.lines;
    record.lines = job.linesSent;
    record.pace = site.pace;
    record.resends = job.resends;
    return record;
}

} // namespace

JobRecord startedRecord(const JobSite &site, const JobResult &job)
{
    JobRecord record = recordOf(site, job);
    record.result = QStringLiteral("started");
    record.recordId = recordIdOf(site.jobId, true);
    record.ended = QDateTime();
    return record;
}

JobRecord endedRecord(const JobSite &site, const JobResult &job, const JobVerdict &verdict,
                      const QByteArray &reply)
{
    JobRecord record = recordOf(site, job);
    record.result = verdict.result;
    record.recordId = recordIdOf(site.jobId, false);
    record.exitCode = verdict.exitCode;
    // A job done has nothing to explain, whatever the board said last.
    if (verdict.exitCode != Done) {
        record.error = verdict.error;
        record.reply = QString::fromLatin1(reply.trimmed());
    }
    return record;
}
