#include "cli/trace.h"

#include "engine/engine.h"
#include "shared/readable.h"

#include <cstdio>

bool Trace::open(const QString &path, QString *error)
{
    m_clock.start();
    bool opened = false;
    if (path == QStringLiteral("-")) {
        opened = m_file.open(stderr, QIODevice::WriteOnly | QIODevice::Unbuffered);
    } else {
        m_file.setFileName(path);
        opened = m_file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered);
    }
    if (!opened)
        *error = QStringLiteral("cannot write the trace to %1: %2").arg(path, m_file.errorString());
    return opened;
}

void Trace::follow(Engine &engine)
{
    QObject::connect(&engine, &Engine::frameWritten, &engine,
                     [this](const QByteArray &bytes) { write('>', bytes); });
    QObject::connect(&engine, &Engine::bytesReceived, &engine,
                     [this](const QByteArray &bytes) { write('<', bytes); });
}

void Trace::write(char direction, const QByteArray &bytes)
{
    const QString line = QStringLiteral("%1 %2 %3  %4\n")
                             .arg(m_clock.elapsed(), 7)
                             .arg(QChar(direction))
                             .arg(QString::fromLatin1(bytes.toHex(' ').toUpper()), readable(bytes));
    m_file.write(line.toUtf8());
}
