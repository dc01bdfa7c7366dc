#include "record/recordkeeper.h"

#include "record/recordcolumns.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <cstdio>

#ifdef Q_OS_UNIX
#include <sys/file.h>
#endif

namespace {

// The key that names the store; no field of a record has it.
const QString StoreKey = QStringLiteral("store");

QByteArray jsonLine(const JobRecord &record, const StoreAddress &meantFor)
{
    QJsonObject json = toJson(record);
    json.insert(StoreKey, meantFor.describe());
    return QJsonDocument(json).toJson(QJsonDocument::Compact) + '\n';
}

} // namespace

bool appendUnrecorded(const QString &path, const JobRecord &record, const StoreAddress &meantFor)
{
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QFile file(path);
    // Unbuffered, so the line goes in one write.
    if (!file.open(QIODevice::ReadWrite | QIODevice::Append | QIODevice::Unbuffered))
        return false;
#ifdef Q_OS_UNIX
    // Processes that append at once: the size taken below stays the end
    // until this line is in, so cutting back never cuts another's line.
    ::flock(file.handle(), LOCK_EX);
#endif
    const qint64 before = file.size();
    QByteArray line = jsonLine(record, meantFor);
    char last = '\n';
    if (before > 0 && (!file.seek(before - 1) || !file.getChar(&last)))
        return false;
    if (last != '\n')
        line.prepend('\n');
    if (file.write(line) == line.size())
        return true;
    file.resize(before);
    return false;
}

UnrecordedFile readUnrecorded(const QString &path, const StoreAddress &store)
{
    UnrecordedFile kept;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return kept;
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (line.trimmed().isEmpty())
            continue;
        QString meantFor;
        const std::optional<JobRecord> record = unrecordedLine(line, &meantFor);
        if (!record)
            ++kept.damagedLines;
        else if (!waitsFor(meantFor, store))
            ++kept.forOtherStores;
        else
            kept.records << *record;
    }
    return kept;
}

std::optional<JobRecord> unrecordedLine(const QByteArray &line, QString *meantFor)
{
    const QJsonDocument json = QJsonDocument::fromJson(line);
    if (!json.isObject())
        return std::nullopt;
    if (meantFor)
        *meantFor = json.object().value(StoreKey).toString();
    return recordFromJson(json.object());
}

bool waitsFor(const QString &meantFor, const StoreAddress &store)
{
    return meantFor.isEmpty() || meantFor == store.describe();
}

qsizetype waitingRecords(const QList<JobRecord> &records)
{
    QSet<QString> jobs;
    qsizetype count = 0;
    for (const JobRecord &record : records) {
        if (record.jobId.isEmpty() || !jobs.contains(record.jobId))
            ++count;
        jobs.insert(record.jobId);
    }
    return count;
}

QString unrecordedFile(const StoreAddress &address)
{
    const QString beside =
        address.kind == StoreAddress::Kind::Sqlite ? address.path : defaultStorePath();
    return QFileInfo(beside).absolutePath() + QStringLiteral("/unrecorded.jsonl");
}

KeepOutcome keepUnrecorded(const StoreAddress &address, const JobRecord &record, const QString &why)
{
    const QString fallback = unrecordedFile(address);
    if (appendUnrecorded(fallback, record, address))
        return {false,
                QStringLiteral("not recorded in the store: %1; kept in %2").arg(why, fallback)};

    std::fputs(jsonLine(record, address).constData(), stderr);
    std::fflush(stderr);
    return {false, QStringLiteral("not recorded in the store: %1; could not keep it in %2 either; "
                                  "written to standard error")
                       .arg(why, fallback)};
}

KeepOutcome keepRecord(RecordStore &store, const JobRecord &record)
{
    QString error;
    if (store.write(record, &error))
        return {true, {}};
    return keepUnrecorded(store.address(), record, error);
}
