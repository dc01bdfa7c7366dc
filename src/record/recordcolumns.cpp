#include "record/recordcolumns.h"

#include <QCryptographicHash>
#include <QJsonDocument>
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
RecordColumn::Kind kindOf(RecordTags JobRecord::*)
{
    return RecordColumn::Kind::Tags;
}

QJsonObject tagsJson(const RecordTags &tags)
{
    QJsonObject json;
    for (auto tag = tags.begin(); tag != tags.end(); ++tag)
        json.insert(tag.key(), tag.value());
    return json;
}

// From a store's text or a JSON line's object; values that are not text are
// no tags of ours.
RecordTags tagsFrom(const QVariant &value)
{
    const QVariantMap map =
        value.typeId() == QMetaType::QVariantMap
            ? value.toMap()
            : QJsonDocument::fromJson(value.toString().toUtf8()).object().toVariantMap();
    RecordTags tags;
    for (auto entry = map.begin(); entry != map.end(); ++entry) {
        if (entry.value().typeId() == QMetaType::QString)
            tags.insert(entry.key(), entry.value().toString());
    }
    return tags;
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
    case RecordColumn::Kind::Tags:
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
    column.get = [member](const JobRecord &record) {
        if constexpr (std::is_same_v<Value, RecordTags>)
            return QVariant(QString::fromUtf8(
                QJsonDocument(tagsJson(record.*member)).toJson(QJsonDocument::Compact)));
        else
            return QVariant::fromValue(record.*member);
    };
    column.set = [member](JobRecord &record, const QVariant &value) {
        if constexpr (std::is_same_v<Value, RecordTags>)
            record.*member = tagsFrom(value);
        else if constexpr (std::is_same_v<Value, QDateTime>)
            record.*member = value.isNull() || value.toString().isEmpty()
                                 ? QDateTime()
                                 : QDateTime::fromString(value.toString(), Qt::ISODateWithMs);
        else
            record.*member = value.value<Value>();
    };
    return column;
}

// A column a later schema brought, and its value in the rows before it.
template <typename Value>
RecordColumn addedField(int since, const char *name, const char *jsonKey, Value JobRecord::*member,
                        const char *before, bool jsonOnlyWhenSet = false)
{
    RecordColumn column = field(name, jsonKey, member, jsonOnlyWhenSet);
    column.since = since;
    column.before = QString::fromLatin1(before);
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
        addedField(2, "run_id", "run", &JobRecord::runId, "''"),
        addedField(2, "attempt", "attempt", &JobRecord::attempt, "1"),
        addedField(2, "tags", "tags", &JobRecord::tags, "'{}'"),
        addedField(2, "trace", "trace", &JobRecord::trace, "''", true),
        // Rows of older stores have no id of their own: their row number serves.
        addedField(2, "record_id", "record_id", &JobRecord::recordId, "'row-' || %1"),
        // Older Bootlines opened local ports only.
        addedField(3, "port_kind", "port_kind", &JobRecord::portKind, "'local'"),
    };
    return columns;
}

QString RecordColumn::beforeValue(const QString &rowId) const
{
    return before.contains(QStringLiteral("%1")) ? before.arg(rowId) : before;
}

QVariant RecordColumn::sqlValue(const JobRecord &record) const
{
    QVariant value = get(record);
    switch (kind) {
    case Kind::Time:
        return value.toDateTime().isValid() ? QVariant(recordTimeText(value.toDateTime()))
                                            : QVariant(QMetaType::fromType<QString>());
    case Kind::Text:
    case Kind::Tags:
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
    if (kind == Kind::Tags) // a record has its tags in one field
        return tagsJson(record.tags);
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
    case Kind::Tags:
        break;
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
        const bool fits = column.kind == RecordColumn::Kind::Tags ? value.isObject()
                          : number                                ? value.isDouble()
                                                                  : value.isString();
        if (!fits)
            return std::nullopt;
        column.set(record, value.toVariant());
    }
    // Lines kept before records had ids of their own: one made from the
    // job, or else from the line itself, the same each time it is read.
    if (record.recordId.isEmpty()) {
        record.recordId =
            record.jobId.isEmpty()
                ? QStringLiteral("line-") +
                      QString::fromLatin1(QCryptographicHash::hash(
                                              QJsonDocument(json).toJson(QJsonDocument::Compact),
                                              QCryptographicHash::Sha256)
                                              .toHex()
                                              .left(32))
                : recordIdOf(record.jobId, record.result == QStringLiteral("started"));
    }
    return record;
}
