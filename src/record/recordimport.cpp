#include "record/recordimport.h"

#include "record/recordkeeper.h"

#include <QFile>

#ifdef Q_OS_UNIX
#include <sys/file.h>
#endif

namespace {

// appendUnrecorded()'s lock on the file, for as long as this lives.
class AppendLock {
public:
    explicit AppendLock(QFile &file) : m_handle(file.handle())
    {
#ifdef Q_OS_UNIX
        ::flock(m_handle, LOCK_EX);
#endif
    }
    ~AppendLock()
    {
#ifdef Q_OS_UNIX
        ::flock(m_handle, LOCK_UN);
#endif
    }
    AppendLock(const AppendLock &) = delete;
    AppendLock &operator=(const AppendLock &) = delete;

private:
    int m_handle;
};

// The file's lines without their '\n'; a last line cut short is one too.
QList<QByteArray> linesOf(const QByteArray &content)
{
    QList<QByteArray> lines = content.split('\n');
    if (content.isEmpty() || content.endsWith('\n'))
        lines.removeLast();
    return lines;
}

// The lines that stay, as they were read, then whatever was appended since.
// Appenders only ever add at the end: what was read is still the file's
// start, unless another import rewrote it meanwhile. Under the lock.
QString rewrite(QFile &file, const QByteArray &read, const QByteArray &kept)
{
    if (!file.seek(0))
        return file.errorString();
    const QByteArray now = file.readAll();
    if (!now.startsWith(read))
        return QStringLiteral("another import changed it meanwhile");
    QByteArray appended = now.mid(read.size());
    // An appender put a line break after a last line cut short; kept has one.
    if (!read.isEmpty() && !read.endsWith('\n') && appended.startsWith('\n'))
        appended.remove(0, 1);
    const QByteArray content = kept + appended;
    // Never longer than what was there: the rewrite needs no more room.
    if (!file.seek(0) || file.write(content) != content.size() || !file.resize(content.size()))
        return file.errorString();
    return {};
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
    QByteArray content;
    {
        // Not held while the store is written to: a run whose record is
        // late waits for it on its main thread, with every port's job.
        const AppendLock lock(file);
        content = file.readAll();
    }
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
        QString meantFor;
        const std::optional<JobRecord> record = unrecordedLine(line, &meantFor);
        if (!record || !waitsFor(meantFor, store.address())) {
            (record ? outcome.forOtherStores : outcome.notRecords) << index + 1;
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
    outcome.nothingWaited =
        outcome.added + outcome.alreadyStored + outcome.notRecords.size() == 0 &&
        outcome.storeError.isEmpty();
    if (outcome.added + outcome.alreadyStored == 0)
        return outcome; // nothing moved: nothing to take out of the file
    const AppendLock lock(file);
    if (const QString error = rewrite(file, content, kept); !error.isEmpty())
        outcome.fileError = QStringLiteral("the records are in the store, but %1 could not be "
                                           "rewritten without them: %2. Importing again adds "
                                           "none of them twice")
                                .arg(path, error);
    return outcome;
}
