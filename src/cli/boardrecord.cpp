#include "cli/boardrecord.h"

#include <QSysInfo>

namespace {

QString resultName(const BoardResult &result)
{
    if (result.exitCode == Done)
        return QStringLiteral("done");
    if (result.untried)
        return QStringLiteral("not tried");
    return isStopBySignal(result.exitCode) ? QStringLiteral("interrupted")
                                           : QStringLiteral("failed");
}

} // namespace

JobRecord boardRecord(const BoardResult &result, const RunInfo &run)
{
    JobRecord record;
    record.jobId = result.jobId;
    record.started = result.startedAt;
    record.ended = result.endedAt;
    record.seconds = result.seconds;
    record.face = QStringLiteral("cli");
    record.host = QSysInfo::machineHostName();
    record.port = result.port;
    record.board = result.board;
    record.version = QString::fromLatin1(result.versionReply);
    record.file = run.file;
    record.sha256 = QString::fromLatin1(run.sha256);
    record.fileLines = run.fileLines;
    record.lines = result.linesSent;
    record.pace = run.pace;
    record.resends = result.resends;
    record.result = resultName(result);
    record.exitCode = result.exitCode;
    if (result.exitCode != Done)
        record.error = result.failure;
    record.reply = QString::fromLatin1(result.reply.trimmed());
    return record;
}
