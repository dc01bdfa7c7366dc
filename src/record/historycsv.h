#pragma once

#include "record/jobrecord.h"

#include <QList>
#include <QString>
#include <QStringList>

// The records as CSV (RFC 4180) for a spreadsheet: a header, then one line
// a record, each ending in CRLF. The columns are the JSON keys of a record in
// its order, with the tags spread out as one column tag.KEY each (sorted, the
// keys of all the records given; empty where a record has none).
//
// Text from outside goes in with its control characters made visible, and
// with a leading ' when it begins with =, +, -, @, TAB or CR, so that no
// spreadsheet takes it for a formula.
class HistoryCsv {
public:
    explicit HistoryCsv(const QList<JobRecord> &records);
    // tagKeys: the columns tag.KEY, sorted here.
    explicit HistoryCsv(QStringList tagKeys);

    QString header() const;
    QString line(const JobRecord &record) const;

private:
    QStringList m_tagKeys;
};

// The header and every record's line, in the order given.
QString historyCsv(const QList<JobRecord> &records);
