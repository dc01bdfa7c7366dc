#pragma once

#include <QString>

// A pseudo-terminal pair in raw mode, the master side non-blocking. We keep
// the slave side open as well: otherwise the host closing its port would hang
// up the master, and the next open would find a dead line.
class Pty {
public:
    Pty() = default;
    ~Pty();
    Pty(const Pty &) = delete;
    Pty &operator=(const Pty &) = delete;

    bool open(QString *error);

    int masterFd() const { return m_master; }
    const QString &slavePath() const { return m_slavePath; }

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
};
