#include "record/historycsv.h"

#include <utility>

#include "record/recordcolumns.h"
#include "shared/readable.h"

#include <QLocale>
#include <QSet>

#include <algorithm>

namespace {

const QString LineEnd = QStringLiteral("\r\n");
const QString TagPrefix = QStringLiteral("tag.");

// The characters a spreadsheet reads as the start of a formula.
bool beginsFormula(const QString &text)
{
    static const QString starters = QStringLiteral("=+-@\t\r");
    return !text.isEmpty() && starters.contains(text.front());
}

QString quotedWhenNeeded(const QString &field)
{
    if (std::none_of(field.begin(), field.end(), [](QChar character) {
            return character == u',' || character == u'"' || character == u'\r' ||
                   character == u'\n';
        }))
        return field;
    QString doubled = field;
    doubled.replace(u'"', QStringLiteral("\"\""));
    return u'"' + doubled + u'"';
}

// A text that came from a board, an operator or a store.
QString textField(const QString &text)
{
    const QString shown = visibleText(text);
    return quotedWhenNeeded(beginsFormula(text) ? u'\'' + shown : shown);
}

QString numberField(const QVariant &value, RecordColumn::Kind kind)
{
    // As the JSON of a record writes it: 2, 1.979.
    if (kind == RecordColumn::Kind::Integer)
        return QString::number(value.toInt());
    return QString::number(value.toDouble(), 'g', QLocale::FloatingPointShortest);
}

} // namespace

HistoryCsv::HistoryCsv(const QList<JobRecord> &records)
{
    for (const JobRecord &record : records) {
        for (auto tag = record.tags.keyBegin(); tag != record.tags.keyEnd(); ++tag) {
            if (!m_tagKeys.contains(*tag))
                m_tagKeys.append(*tag);
        }
    }
    m_tagKeys.sort();
}

HistoryCsv::HistoryCsv(QStringList tagKeys) : m_tagKeys(std::move(tagKeys))
{
    m_tagKeys.sort();
}

QString HistoryCsv::header() const
{
    QStringList names;
    for (const RecordColumn &column : recordColumns()) {
        if (column.kind != RecordColumn::Kind::Tags) {
            names << column.jsonKey;
            continue;
        }
        // A store's tag keys are text from outside like any other.
        for (const QString &key : m_tagKeys)
            names << textField(TagPrefix + key);
    }
    return names.join(u',') + LineEnd;
}

QString HistoryCsv::line(const JobRecord &record) const
{
    QString line;
    line.reserve(512);
    bool first = true;
    const auto add = [&line, &first](const QString &field) {
        if (!std::exchange(first, false))
            line += u',';
        line += field;
    };
    for (const RecordColumn &column : recordColumns()) {
        switch (column.kind) {
        case RecordColumn::Kind::Tags:
            for (const QString &key : m_tagKeys)
                add(textField(record.tags.value(key)));
            break;
        case RecordColumn::Kind::Integer:
        case RecordColumn::Kind::Real:
            add(numberField(column.get(record), column.kind));
            break;
        case RecordColumn::Kind::Time:
            add(textField(recordTimeText(column.get(record).toDateTime())));
            break;
        case RecordColumn::Kind::Text:
            add(textField(column.get(record).toString()));
            break;
        }
    }
    return line + LineEnd;
}

QString historyCsv(const QList<JobRecord> &records)
{
    const HistoryCsv csv(records);
    QString text = csv.header();
    for (const JobRecord &record : records)
        text += csv.line(record);
    return text;
}
