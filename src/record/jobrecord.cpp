#include "record/jobrecord.h"

#include "record/recordcolumns.h"

QString recordIdOf(const QString &jobId, bool startedRecord)
{
    return jobId + (startedRecord ? QStringLiteral("/started") : QStringLiteral("/ended"));
}

QString plannedRecordIdOf(const QString &jobId)
{
    return jobId + QStringLiteral("/planned");
}

QString recordTimeText(const QDateTime &when)
{
    return when.isValid() ? when.toUTC().toString(Qt::ISODateWithMs) : QString();
}

QJsonObject toJson(const JobRecord &record)
{
    QJsonObject json;
    for (const RecordColumn &column : recordColumns()) {
        const QJsonValue value = column.jsonValue(record);
        if (!column.jsonOnlyWhenSet || !value.toString().isEmpty())
            json.insert(column.jsonKey, value);
    }
    return json;
}
