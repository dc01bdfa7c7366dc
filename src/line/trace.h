#pragma once

#include <QElapsedTimer>
#include <QFile>
#include <QMutex>
#include <QString>

#include <cstdio>

class Engine;

// Every frame out and every chunk in, a line each: milliseconds since the
// start, the port when there are several, ">" or "<", the bytes in hex, and
// the bytes as text. A trace file's
// first line says whose trace it is; a file that does not begin with it is
// never replaced, so a mistyped --trace cannot wipe out the firmware.
// Engines on several ports' threads may write to the one trace at once.
class Trace {
public:
    // A failed write is told once, to warnings; the job goes on without the trace.
    explicit Trace(std::FILE *warnings = stderr) : m_warnings(warnings) {}

    // What every trace begins with.
    static QString firstLineMark() { return QStringLiteral("# bootline-cli trace"); }

    // "-" is standard error. False, with the reason in error, when the file
    // cannot be written or is not ours to replace.
    bool open(const QString &path, QString *error);
    // A file that is not there yet, and never one that is: false, with the
    // reason in error, when path is taken or cannot be made.
    bool openNew(const QString &path, QString *error);
    // No more lines: the file is closed, and what comes later is dropped.
    void finish();

    // Before any port is followed: lines name the port they are about.
    void nameThePorts() { m_namesPorts = true; }
    void follow(Engine &engine, const QString &port);

private:
    void writeFirstLine();
    void write(const QByteArray &text);
    void writeChunk(const QString &direction, const QByteArray &bytes);
    bool mayReplace(const QString &path, QString *error);

    QMutex m_mutex; // a line at a time, whichever port's thread writes it
    QFile m_file;
    QElapsedTimer m_clock;
    std::FILE *m_warnings;
    bool m_failed = false;
    bool m_namesPorts = false;
};
