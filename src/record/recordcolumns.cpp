#include "record/recordcolumns.h"

#include <QJsonObject>

namespace {

RecordColumn::Kind kindOf(QString JobRecord::*)
{
    return RecordColumn::Kind::Text;
}
RecordColumn::Kind kindOf(int JobRecord::*)
{
    return RecordColumn::Kind::Integer;
}
RecordColumn::Kind kindOf(double JobRecord::*)
{
    return RecordColumn::Kind::Real;
}
RecordColumn::Kind kindOf(QDateTime JobRecord::*)
{
    return RecordColumn::Kind::Time;
}

// SQLite keeps times as ISO text in UTC, which sorts as time does;
// PostgreSQL as timestamptz, read back in the same text.
template <typename Value>
RecordColumn field(const char *name, const char *jsonKey, Value JobRecord::*member,
                   bool jsonOnlyWhenSet = false)
{
    RecordColumn column;
    column.name = QString::fromLatin1(name);
    column.jsonKey = QString::fromLatin1(jsonKey);
    column.kind = kindOf(member);
    column.jsonOnlyWhenSet = jsonOnlyWhenSet;
    switch (column.kind) {
    case RecordColumn::Kind::Text:
        column.sqliteType = column.postgresType = QStringLiteral("TEXT NOT NULL");
        break;
    case RecordColumn::Kind::Integer:
        column.sqliteType = column.postgresType = QStringLiteral("INTEGER NOT NULL");
        break;
    case RecordColumn::Kind::Real:
        column.sqliteType = QStringLiteral("REAL NOT NULL");
        column.postgresType = QStringLiteral("DOUBLE PRECISION NOT NULL");
        break;
    case RecordColumn::Kind::Time:
        column.sqliteType = QStringLiteral("TEXT");
        column.postgresType = QStringLiteral("TIMESTAMPTZ");
        break;
    }
    column.get = [member](const JobRecord &record) { return QVariant::fromValue(record.*member); };
    column.set = [member](JobRecord &record, const QVariant &value) {
        if constexpr (std::is_same_v<Value, QDateTime>)
            record.*member = value.isNull() || value.toString().isEmpty()
                                 ? QDateTime()
                                 : QDateTime::fromString(value.toString(), Qt::ISODateWithMs);
        else
            record.*member = value.value<Value>();
    };
    return column;
}

} // namespace

const QList<RecordColumn> &recordColumns()
{
    static const QList<RecordColumn> columns{
        field("board", "board", &JobRecord::board),
        field("port", "port", &JobRecord::port),
        field("result", "result", &JobRecord::result),
        field("exit_code", "exit", &JobRecord::exitCode),
        field("lines", "lines", &JobRecord::lines),
        field("resends", "resends", &JobRecord::resends),
        field("seconds", "seconds", &JobRecord::seconds),
        field("started", "started", &JobRecord::started),
        field("ended", "ended", &JobRecord::ended),
        field("face", "face", &JobRecord::face),
        field("host", "host", &JobRecord::host),
        field("version", "version", &JobRecord::version),
        field("file", "file", &JobRecord::file),
        field("sha256", "sha256", &JobRecord::sha256),
        field("file_lines", "file_lines", &JobRecord::fileLines),
        field("pace", "pace", &JobRecord::pace),
        field("error", "error", &JobRecord::error, true),
        field("reply", "reply", &JobRecord::reply, true),
        field("job_id", "job_id", &JobRecord::jobId),
    };
    return columns;
}

QVariant RecordColumn::sqlValue(const JobRecord &record) const
{
    QVariant value = get(record);
    switch (kind) {
    case Kind::Time:
        return value.toDateTime().isValid() ? QVariant(recordTimeText(value.toDateTime()))
                                            : QVariant(QMetaType::fromType<QString>());
    case Kind::Text:
        // A null QString is bound as NULL, which the text columns refuse.
        return value.toString().isNull() ? QVariant(QStringLiteral("")) : value;
    case Kind::Integer:
    case Kind::Real:
        break;
    }
    return value;
}

QJsonValue RecordColumn::jsonValue(const JobRecord &record) const
{
    const QVariant value = get(record);
    switch (kind) {
    case Kind::Time:
        return recordTimeText(value.toDateTime());
    case Kind::Text:
        return value.toString();
    case Kind::Integer:
        return value.toInt();
    case Kind::Real:
        return value.toDouble();
    }
    return {};
}

std::optional<JobRecord> recordFromJson(const QJsonObject &json)
{
    if (!json.contains(QStringLiteral("result")))
        return std::nullopt;
    JobRecord record;
    for (const RecordColumn &column : recordColumns()) {
        // Lines kept before a column was added lack its key.
        const QJsonValue value = json.value(column.jsonKey);
        if (value.isUndefined())
            continue;
        const bool number =
            column.kind == RecordColumn::Kind::Integer || column.kind == RecordColumn::Kind::Real;
        if (number ? !value.isDouble() : !value.isString())
            return std::nullopt;
        column.set(record, value.toVariant());
    }
    return record;
}
