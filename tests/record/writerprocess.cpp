// bootline-record-writer ADDRESS COUNT PORT: keeps COUNT records, boards 1
// to COUNT on PORT, in the store at ADDRESS, one at a time as the faces do.
// For the tests of many processes writing at once. Exit 0 when every record
// was stored; else 1, with why on standard error.
// bootline-record-writer --read ADDRESS: prints how many records the store
// holds; exit 1 with why when it cannot be read.
// bootline-record-writer --unrecorded FILE [COUNT]: appends a record (or
// COUNT records of jobs of their own, one at a time) to a file of records
// not stored; exit 1 when one is not in.

#include "record/recordkeeper.h"
#include "samplerecord.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.value(1) == "--unrecorded") {
        JobRecord record = sampleRecord();
        const int count = arguments.size() > 3 ? arguments.at(3).toInt() : 1;
        for (int job = 1; job <= count; ++job) {
            if (count > 1)
                record.jobId = QStringLiteral("appended-%1").arg(job);
            if (!appendUnrecorded(arguments.value(2), record, StoreAddress{}))
                return 1;
        }
        return 0;
    }
    if (arguments.value(1) == "--read") {
        RecordStore store(std::get<StoreAddress>(parseStoreAddress(arguments.value(2))));
        QString error;
        const auto records = store.read({}, &error);
        std::fputs(qPrintable(records ? QString::number(records->size()) : error),
                   records ? stdout : stderr);
        return records ? 0 : 1;
    }
    bool counted = false;
    const int count = arguments.value(2).toInt(&counted);
    if (arguments.size() != 4 || !counted) {
        std::fputs("usage: bootline-record-writer ADDRESS COUNT PORT\n", stderr);
        return 2;
    }
    const auto address = parseStoreAddress(arguments.at(1));
    if (const QString *error = std::get_if<QString>(&address)) {
        std::fprintf(stderr, "%s\n", qPrintable(*error));
        return 2;
    }
    RecordStore store(std::get<StoreAddress>(address));
    JobRecord record = sampleRecord();
    record.port = arguments.at(3);
    for (int board = 1; board <= count; ++board) {
        record.board = QString::number(board);
        record.started = QDateTime::currentDateTimeUtc();
        record.ended = record.started;
        const KeepOutcome outcome = keepRecord(store, record);
        if (!outcome.stored) {
            std::fprintf(stderr, "%s\n", qPrintable(outcome.message));
            return 1;
        }
    }
    return 0;
}
