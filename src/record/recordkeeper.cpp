#include "record/recordkeeper.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>

#include <cstdio>

namespace {

bool append(const QString &path, const QByteArray &line)
{
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    // Unbuffered, so the line goes in one write: lines of processes that
    // append at once do not interleave.
    QFile file(path);
    return file.open(QIODevice::Append | QIODevice::Unbuffered) && file.write(line) == line.size();
}

} // namespace

QString unrecordedFile(const StoreAddress &address)
{
    const QString beside =
        address.kind == StoreAddress::Kind::Sqlite ? address.path : defaultStorePath();
    return QFileInfo(beside).absolutePath() + QStringLiteral("/unrecorded.jsonl");
}

bool appendUnrecorded(const QString &path, const JobRecord &record)
{
    return append(path, QJsonDocument(toJson(record)).toJson(QJsonDocument::Compact) + '\n');
}

KeepOutcome keepUnrecorded(const StoreAddress &address, const JobRecord &record, const QString &why)
{
    const QString fallback = unrecordedFile(address);
    if (appendUnrecorded(fallback, record))
        return {false,
                QStringLiteral("not recorded in the store: %1; kept in %2").arg(why, fallback)};

    const QByteArray line = QJsonDocument(toJson(record)).toJson(QJsonDocument::Compact) + '\n';
    std::fputs(line.constData(), stderr);
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
