#include "record/historytext.h"

#include "shared/readable.h"

#include <QFileInfo>
#include <QStringList>

namespace {

// Wide enough for the usual values, so that most lines line up.
constexpr int ResultWidth = 11; // "interrupted"
constexpr int PortWidth = 12;   // "/dev/ttyUSB0"
constexpr int BoardWidth = 10;  // "board scan"
constexpr int FileWidth = 16;
constexpr int HashLength = 12;

} // namespace

QString historyLine(const JobRecord &record)
{
    // A board not tried has no times of its own.
    const QDateTime when = record.started.isValid() ? record.started : record.ended;
    const QString time = when.isValid()
                             ? when.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                             : QStringLiteral("-").leftJustified(19);
    const QString file = record.file.isEmpty() ? QStringLiteral("(no file)")
                                               : visibleText(QFileInfo(record.file).fileName());
    const QString hash =
        record.sha256.isEmpty() ? QStringLiteral("-") : visibleText(record.sha256.left(HashLength));
    // A job whose end never came: the process died, or the power went.
    const bool unfinished = record.result == QStringLiteral("started");
    const QString result = unfinished ? QStringLiteral("unfinished") : visibleText(record.result);

    QStringList fields{
        time,
        result.leftJustified(ResultWidth),
        visibleText(record.port).leftJustified(PortWidth),
        (QStringLiteral("board ") + visibleText(record.board)).leftJustified(BoardWidth),
        file.leftJustified(FileWidth),
        hash.leftJustified(HashLength)};
    if (!record.version.isEmpty())
        fields << visibleText(record.version);
    // Which board it was, from its label: what a line manager looks for first.
    if (const QString serial = record.tags.value(QStringLiteral("serial")); !serial.isEmpty())
        fields << QStringLiteral("serial ") + visibleText(serial);
    QString line = fields.join(QStringLiteral("  ")).trimmed();
    if (record.result != QStringLiteral("done") && !unfinished) {
        line += QStringLiteral(" exit %1").arg(record.exitCode);
        if (!record.error.isEmpty())
            line += QStringLiteral(": ") + visibleText(record.error);
    }
    return line;
}

std::optional<QDateTime> parseSince(const QString &given)
{
    QString text = given.trimmed();
    if (text.size() == 10) {
        const QDate date = QDate::fromString(text, Qt::ISODate);
        if (!date.isValid())
            return std::nullopt;
        return QDateTime(date, QTime(0, 0), Qt::UTC);
    }
    // As the history prints it: a space between the date and the time.
    if (text.size() > 10 && text.at(10) == u' ')
        text[10] = u'T';
    QDateTime when = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (!when.isValid() || text.size() <= 10)
        return std::nullopt;
    if (when.timeSpec() == Qt::LocalTime)
        when.setTimeSpec(Qt::UTC);
    return when.toUTC();
}
