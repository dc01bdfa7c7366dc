#include "record/jobrecord.h"

QString recordTimeText(const QDateTime &when)
{
    return when.isValid() ? when.toUTC().toString(Qt::ISODateWithMs) : QString();
}

QJsonObject toJson(const JobRecord &record)
{
    QJsonObject json{{"board", record.board},
                     {"port", record.port},
                     {"result", record.result},
                     {"exit", record.exitCode},
                     {"lines", record.lines},
                     {"resends", record.resends},
                     {"seconds", record.seconds},
                     {"started", recordTimeText(record.started)},
                     {"ended", recordTimeText(record.ended)},
                     {"face", record.face},
                     {"host", record.host},
                     {"version", record.version},
                     {"file", record.file},
                     {"sha256", record.sha256},
                     {"file_lines", record.fileLines},
                     {"pace", record.pace}};
    if (!record.error.isEmpty())
        json.insert("error", record.error);
    if (!record.reply.isEmpty())
        json.insert("reply", record.reply);
    return json;
}
