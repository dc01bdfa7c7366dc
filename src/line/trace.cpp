#include "line/trace.h"

#include "engine/engine.h"
#include "shared/readable.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>

bool Trace::open(const QString &path, QString *error)
{
    m_clock.start();
    m_failed = false;
    const bool toStandardError = path == QStringLiteral("-");
    bool opened = false;
    if (toStandardError) {
        opened = m_file.open(stderr, QIODevice::WriteOnly | QIODevice::Unbuffered);
    } else {
        m_file.setFileName(path);
        const QFileInfo info(path);
        const bool exists = info.exists();
        const bool regularFile = exists && info.isFile();
        if (!exists)
            // NewOnly: a file that turned up since is not ours either.
            opened = m_file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered);
        else if (regularFile)
            // Read and checked through the same open file that is then emptied.
            opened =
                m_file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly | QIODevice::Unbuffered);
        else // a device or a pipe: written to, nothing in it is replaced
            opened = m_file.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
        if (opened && regularFile && !mayReplace(path, error)) {
            m_file.close();
            return false;
        }
    }
    if (!opened) {
        *error = QStringLiteral("cannot write the trace to %1: %2").arg(path, m_file.errorString());
        return false;
    }
    // Standard error is shared with the messages and never replaced: it needs no mark.
    if (!toStandardError)
        writeFirstLine();
    return true;
}

bool Trace::openNew(const QString &path, QString *error)
{
    m_clock.start();
    m_failed = false;
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered)) {
        *error = m_file.errorString();
        return false;
    }
    writeFirstLine();
    return true;
}

void Trace::finish()
{
    const QMutexLocker lock(&m_mutex);
    m_file.close();
    m_failed = true; // the engine may still say something before it goes
}

void Trace::writeFirstLine()
{
    QString version = QCoreApplication::applicationVersion();
    if (!version.isEmpty())
        version.prepend(u' ');
    const QMutexLocker lock(&m_mutex);
    write(QStringLiteral("%1%2, started %3\n")
              .arg(firstLineMark(), version,
                   QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs))
              .toUtf8());
}

// An empty file, or an earlier trace, is emptied; anything else is left alone.
bool Trace::mayReplace(const QString &path, QString *error)
{
    const QByteArray mark = firstLineMark().toUtf8();
    const QByteArray start = m_file.read(mark.size());
    if (start.isEmpty() || start == mark)
        return m_file.resize(0);
    const QString hexHint =
        start.startsWith(':')
            ? QStringLiteral(" It looks like a HEX file: did --trace take the HEX file's name? ")
            : QStringLiteral(" ");
    *error = QStringLiteral("--trace %1: the file is there and is not a trace (it does not begin "
                            "with \"%2\"), so it is left as it is.%3Give the trace a new file "
                            "name, or remove the file first.")
                 .arg(path, firstLineMark(), hexHint);
    return false;
}

void Trace::follow(Engine &engine, const QString &port)
{
    // With one port, every line is about it.
    const QString direction = m_namesPorts ? port + u' ' : QString();
    QObject::connect(
        &engine, &Engine::frameWritten, &engine,
        [this, direction](const QByteArray &bytes) { writeChunk(direction + u'>', bytes); });
    QObject::connect(
        &engine, &Engine::bytesReceived, &engine,
        [this, direction](const QByteArray &bytes) { writeChunk(direction + u'<', bytes); });
}

void Trace::writeChunk(const QString &direction, const QByteArray &bytes)
{
    // The time is read under the lock too, so that lines stay in time order.
    const QMutexLocker lock(&m_mutex);
    const QString line = QStringLiteral("%1 %2 %3  %4\n")
                             .arg(m_clock.elapsed(), 7)
                             .arg(direction)
                             .arg(QString::fromLatin1(bytes.toHex(' ').toUpper()), readable(bytes));
    write(line.toUtf8());
}

// The trace is a help, not the job: a full disk stops the trace, said once, and the job goes on.
void Trace::write(const QByteArray &text)
{
    if (m_failed)
        return;
    if (m_file.write(text) == text.size())
        return;
    m_failed = true;
    const QString where =
        m_file.fileName().isEmpty() ? QStringLiteral("standard error") : m_file.fileName();
    std::fputs(QStringLiteral("bootline-cli: the trace to %1 stopped: %2. The job goes on "
                              "without it.\n")
                   .arg(where, m_file.errorString())
                   .toLocal8Bit()
                   .constData(),
               m_warnings);
}
