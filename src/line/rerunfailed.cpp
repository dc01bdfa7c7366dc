#include "line/rerunfailed.h"

#include "line/rerunplan.h"
#include "record/recordkeeper.h"
#include "record/recordstore.h"

std::optional<EarlyEnd> takeRerunFromStore(RunOptions &options, QByteArray *runSha256)
{
    RecordStore store(options.log, options.storeTimeoutMs);
    HistoryFilter filter;
    filter.runId = options.rerunOf;
    QString error;
    const std::optional<QList<JobRecord>> stored = store.read(filter, &error);
    if (!stored)
        return EarlyEnd{NotRecorded, error};
    const QList<JobRecord> records = withWaitingRecords(
        *stored, readUnrecorded(unrecordedFile(options.log), options.log).records, options.rerunOf);
    if (records.isEmpty())
        return EarlyEnd{BadUsage, QStringLiteral("no record of run %1 in %2: check the run id "
                                                 "(--history shows each record's) and --log")
                                      .arg(options.rerunOf, options.log.describe())};
    const RerunPlan plan = planRerun(records);
    if (plan.ports.isEmpty())
        return EarlyEnd{Done, QStringLiteral("Every board of run %1 is done (%2): nothing to run "
                                             "again.")
                                  .arg(options.rerunOf)
                                  .arg(plan.boardsDone)};
    if (options.file.isEmpty() && plan.file.isEmpty())
        return EarlyEnd{BadUsage, QStringLiteral("the records of run %1 name no firmware file (it "
                                                 "downloaded nothing): give the FILE to download")
                                      .arg(options.rerunOf)};
    if (options.file.isEmpty())
        options.file = plan.file;
    options.ports = plan.ports;
    options.attempts = plan.attempts;
    *runSha256 = plan.sha256;
    return std::nullopt;
}

QString rerunFileRefusal(const RunOptions &options, const QByteArray &runSha256,
                         const QByteArray &fileSha256)
{
    if (options.fileChanged || runSha256.isEmpty() || runSha256 == fileSha256)
        return {};
    return QStringLiteral("%1 has SHA-256 %2, but run %3 flashed %4: give --file-changed if "
                          "the boards are to get this file instead; nothing was sent")
        .arg(options.file, QString::fromLatin1(fileSha256), options.rerunOf,
             QString::fromLatin1(runSha256));
}
