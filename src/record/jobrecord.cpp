#include "record/jobrecord.h"

#include "record/recordcolumns.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <QLocale>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

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
    if (!when.isValid())
        return {};
    const QDateTime utc = when.toUTC();
    const QDate day = utc.date();
    if (day.year() < 0 || day.year() > 9999)
        return utc.toString(Qt::ISODateWithMs);
    // As Qt writes it, at a fraction of the cost: a list of millions writes two each.
    const QTime time = utc.time();
    std::array<char, 32> text{};
    const int size = std::snprintf(text.data(), text.size(), "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ",
                                   day.year(), day.month(), day.day(), time.hour(), time.minute(),
                                   time.second(), time.msec());
    return QString::fromLatin1(text.data(), size);
}

namespace {

// The columns in the order of their keys, as a JSON object writes them.
const QList<const RecordColumn *> &columnsByKey()
{
    static const QList<const RecordColumn *> sorted = [] {
        QList<const RecordColumn *> columns;
        for (const RecordColumn &column : recordColumns())
            columns << &column;
        std::sort(columns.begin(), columns.end(),
                  [](const auto *a, const auto *b) { return a->jsonKey < b->jsonKey; });
        return columns;
    }();
    return sorted;
}

// Printable ASCII without a quote or a backslash goes between quotes as it is.
bool writtenAsItIs(const QString &text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) {
        return c.unicode() >= 0x20 && c.unicode() < 0x7F && c != u'"' && c != u'\\';
    });
}

// Escapes, numbers that are not finite and the tags, as Qt's own writer has them.
void appendAsQtWrites(QByteArray &line, const QJsonValue &value)
{
    const QByteArray array = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    line += array.mid(1, array.size() - 2);
}

void appendValue(QByteArray &line, const RecordColumn &column, const JobRecord &record)
{
    const auto appendText = [&line](const QString &text) {
        if (writtenAsItIs(text))
            line += '"' + text.toLatin1() + '"';
        else
            appendAsQtWrites(line, text);
    };
    switch (column.kind) {
    case RecordColumn::Kind::Integer:
        line += QByteArray::number(column.get(record).toInt());
        return;
    case RecordColumn::Kind::Real:
        if (const double value = column.get(record).toDouble(); std::isfinite(value))
            line += QByteArray::number(value, 'g', QLocale::FloatingPointShortest);
        else
            appendAsQtWrites(line, value);
        return;
    case RecordColumn::Kind::Time:
        appendText(recordTimeText(column.get(record).toDateTime()));
        return;
    case RecordColumn::Kind::Text:
        appendText(column.get(record).toString());
        return;
    case RecordColumn::Kind::Tags:
        if (record.tags.isEmpty())
            line += "{}";
        else
            appendAsQtWrites(line, column.jsonValue(record));
        return;
    }
}

} // namespace

QByteArray jsonLineOf(const JobRecord &record)
{
    QByteArray line;
    line.reserve(1024);
    line += '{';
    for (const RecordColumn *column : columnsByKey()) {
        if (column->jsonOnlyWhenSet && column->get(record).toString().isEmpty())
            continue;
        if (line.size() > 1)
            line += ',';
        line += '"' + column->jsonKey.toLatin1() + "\":";
        appendValue(line, *column, record);
    }
    return line + "}\n";
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
