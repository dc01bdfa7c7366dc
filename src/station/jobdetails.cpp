#include "station/jobdetails.h"

#include "shared/readable.h"

#include <QDialog>
#include <QFile>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace {

// A trace may be long: its end says how the job ended.
constexpr qint64 ShownTraceBytes = qint64(256) * 1024;

QString traceText(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("The trace %1 cannot be read: %2").arg(path, file.errorString());
    if (file.size() > ShownTraceBytes)
        file.seek(file.size() - ShownTraceBytes);
    return visibleText(QString::fromUtf8(file.readAll()));
}

QString recordText(const BoardResult &job)
{
    QStringList lines{
        QStringLiteral("Port: %1").arg(job.port),
        QStringLiteral("Board: %1").arg(job.board),
        QStringLiteral("Result: %1")
            .arg(job.exitCode == Done ? QStringLiteral("done") : QStringLiteral("failed")),
        QStringLiteral("Started: %1").arg(job.startedAt.toString(Qt::ISODateWithMs)),
        QStringLiteral("Ended: %1").arg(job.endedAt.toString(Qt::ISODateWithMs)),
        QStringLiteral("Time: %1 s").arg(job.seconds, 0, 'f', 2),
        QStringLiteral("Lines sent: %1, sent again: %2").arg(job.linesSent).arg(job.resends),
        QStringLiteral("Version reply: %1").arg(readable(job.versionReply)),
        QStringLiteral("Job id: %1").arg(job.jobId)};
    if (!job.failure.isEmpty())
        lines << QStringLiteral("Why: %1").arg(job.failure);
    if (!job.reply.isEmpty())
        lines << QStringLiteral("The board said: %1").arg(readable(job.reply));
    for (auto tag = job.tags.begin(); tag != job.tags.end(); ++tag)
        lines << QStringLiteral("Tag %1: %2").arg(tag.key(), tag.value());
    if (!job.notRecorded.isEmpty())
        lines << QStringLiteral("Not in the store: %1").arg(job.notRecorded);
    if (!job.trace.isEmpty())
        lines << QStringLiteral("Trace: %1").arg(job.trace);
    return visibleText(lines.join(u'\n'));
}

} // namespace

void showJobDetails(const FixtureTile &tile, QWidget *parent)
{
    auto *dialog = new QDialog(parent);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(QStringLiteral("Last job on %1").arg(visibleText(tile.port)));
    auto *text = new QPlainTextEdit(dialog);
    text->setReadOnly(true);
    text->setAccessibleName(QStringLiteral("Record and trace"));
    QString shown = recordText(tile.last);
    if (!tile.last.trace.isEmpty())
        shown += QStringLiteral("\n\n") + traceText(tile.last.trace);
    text->setPlainText(shown);
    auto *layout = new QVBoxLayout(dialog);
    layout->addWidget(text);
    dialog->resize(700, 500);
    dialog->show();
}
