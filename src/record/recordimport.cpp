#include "record/recordimport.h"

#include "record/recordkeeper.h"

#include <QFile>

#ifdef Q_OS_UNIX
#include <sys/file.h>
#endif

namespace {

// The file's lines without their '\n'; a last line cut short is one too.
QList<QByteArray> linesOf(const QByteArray &content)
{
    QList<QByteArray> lines = content.split('\n');
    if (content.isEmpty() || content.endsWith('\n'))
        lines.removeLast();
    return lines;
}

} // namespace

ImportOutcome importUnrecorded(RecordStore &store, const QString &path)
{
    ImportOutcome outcome;
    QFile file(path);
    if (!file.exists()) {
        outcome.nothingWaited = true;
        return outcome;
    }
    // Unbuffered: what is written is in the file before the lock goes.
    if (!file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly | QIODevice::Unbuffered)) {
        outcome.fileError = QStringLiteral("cannot open %1: %2").arg(path, file.errorString());
        return outcome;
    }
#ifdef Q_OS_UNIX
    // Held until the file is closed: an appender waits, then writes at the new end.
    ::flock(file.handle(), LOCK_EX);
#endif
    const QByteArray content = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        outcome.fileError = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return outcome;
    }
    const QList<QByteArray> lines = linesOf(content);
    outcome.lastLine = lines.size();
    QByteArray kept;
    for (qsizetype index = 0; index < lines.size(); ++index) {
        const QByteArray &line = lines[index];
        if (!outcome.storeError.isEmpty()) {
            kept += line + '\n';
            continue;
        }
        if (line.trimmed().isEmpty())
            continue;
        const std::optional<JobRecord> record = unrecordedLine(line);
        if (!record) {
            outcome.notRecords << index + 1;
            kept += line + '\n';
            continue;
        }
        bool added = false;
        if (!store.write(*record, &outcome.storeError, &added)) {
            outcome.storeStoppedAt = index + 1;
            kept += line + '\n';
            continue;
        }
        ++(added ? outcome.added : outcome.alreadyStored);
    }
    outcome.nothingWaited = lines.isEmpty();
    if (outcome.added + outcome.alreadyStored == 0)
        return outcome; // nothing moved: nothing to take out of the file
    // What stays is never longer than what was there: the rewrite needs no more room.
    if (!file.seek(0) || file.write(kept) != kept.size() || !file.resize(kept.size()))
        outcome.fileError = QStringLiteral("the records are in the store, but %1 could not be "
                                           "rewritten without them: %2. Importing again adds "
                                           "none of them twice")
                                .arg(path, file.errorString());
    return outcome;
}
