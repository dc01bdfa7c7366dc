#include "record/historytext.h"

#include <QFileInfo>
#include <QStringList>

namespace {

// Wide enough for the usual values, so that most lines line up.
constexpr int ResultWidth = 11; // "interrupted"
constexpr int PortWidth = 12;   // "/dev/ttyUSB0"
constexpr int BoardWidth = 10;  // "board scan"
constexpr int FileWidth = 16;
constexpr int HashLength = 12;

// Text from a store is anyone's: a control character in it (an escape that
// clears the terminal or paints a line green, a mark that turns text around)
// is shown as \xNN or \uNNNN, never obeyed.
QString shownText(const QString &text)
{
    QString shown;
    shown.reserve(text.size());
    for (const QChar c : text) {
        const char16_t code = c.unicode();
        const bool control =
            code < 0x20 || (code >= 0x7f && code <= 0x9f) || c.category() == QChar::Other_Format;
        if (!control)
            shown += c;
        else
            shown += (code <= 0xff ? QStringLiteral("\\x") : QStringLiteral("\\u")) +
                     QString::number(code, 16).toUpper().rightJustified(code <= 0xff ? 2 : 4, u'0');
    }
    return shown;
}

} // namespace

QString historyLine(const JobRecord &record)
{
    // A board not tried has no times of its own.
    const QDateTime when = record.started.isValid() ? record.started : record.ended;
    const QString time = when.isValid()
                             ? when.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                             : QStringLiteral("-").leftJustified(19);
    const QString file = record.file.isEmpty() ? QStringLiteral("(no file)")
                                               : shownText(QFileInfo(record.file).fileName());
    const QString hash =
        record.sha256.isEmpty() ? QStringLiteral("-") : shownText(record.sha256.left(HashLength));
    // A job whose end never came: the process died, or the power went.
    const bool unfinished = record.result == QStringLiteral("started");
    const QString result = unfinished ? QStringLiteral("unfinished") : shownText(record.result);

    QStringList fields{
        time,
        result.leftJustified(ResultWidth),
        shownText(record.port).leftJustified(PortWidth),
        (QStringLiteral("board ") + shownText(record.board)).leftJustified(BoardWidth),
        file.leftJustified(FileWidth),
        hash.leftJustified(HashLength)};
    if (!record.version.isEmpty())
        fields << shownText(record.version);
    QString line = fields.join(QStringLiteral("  ")).trimmed();
    if (record.result != QStringLiteral("done") && !unfinished) {
        line += QStringLiteral(" exit %1").arg(record.exitCode);
        if (!record.error.isEmpty())
            line += QStringLiteral(": ") + shownText(record.error);
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
