#include "line/boardrecord.h"

#include "engine/jobfailure.h"
#include "record/recordofjob.h"

namespace {

JobSite siteOf(const BoardResult &result, const RunInfo &run)
{
    RecordTags tags = run.tags;
    tags.insert(result.tags); // the board's own answer wins
    return {.jobId = result.jobId,
            .runId = run.runId,
            .attempt = result.attempt,
            .tags = tags,
            .trace = result.trace,
            .face = QStringLiteral("cli"),
            .port = result.port,
            .board = result.board,
            .pace = run.pace,
            .started = result.startedAt,
            .ended = result.endedAt,
            .seconds = result.seconds};
}

// The job as the engine told it, with the run's file: a board given up on,
// or one that failed before its download, still names the file it was to get.
JobResult jobOf(const BoardResult &result, const RunInfo &run)
{
    JobResult job;
    job.file = run.file;
    job.sha256 = run.sha256;
    job.lines = qint16(run.fileLines); // images keep to HexFile::MaxEntries
    job.linesSent = result.linesSent;
    job.resends = result.resends;
    job.versionReply = result.versionReply;
    return job;
}

} // namespace

JobRecord boardStartedRecord(const BoardResult &result, const RunInfo &run)
{
    return startedRecord(siteOf(result, run), jobOf(result, run));
}

JobRecord boardPlannedRecord(const BoardResult &result, const RunInfo &run)
{
    BoardResult planned = result;
    planned.untried = true;
    planned.exitCode = Interrupted;
    planned.failure = QStringLiteral("never begun: the run ended before this board (the "
                                     "program was killed, or the power cut); run it again with "
                                     "--rerun-failed");
    JobRecord record = boardRecord(planned, run);
    record.recordId = plannedRecordIdOf(result.jobId);
    return record;
}

JobRecord boardRecord(const BoardResult &result, const RunInfo &run)
{
    // A board given up on never reached the engine: that word is this face's own.
    const QString word = result.untried ? QStringLiteral("not tried") : resultWord(result.exitCode);
    return endedRecord(siteOf(result, run), jobOf(result, run),
                       {.result = word, .exitCode = result.exitCode, .error = result.failure},
                       result.reply);
}
