#pragma once

#include <QElapsedTimer>
#include <QFile>
#include <QString>

class Engine;

// Every frame out and every chunk in, a line each: milliseconds since the
// start, ">" or "<", the bytes in hex, and the bytes as text.
class Trace {
public:
    // "-" is standard error. False, with the reason in error, when the file cannot be written.
    bool open(const QString &path, QString *error);

    void follow(Engine &engine);

private:
    void write(char direction, const QByteArray &bytes);

    QFile m_file;
    QElapsedTimer m_clock;
};
