#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A PostgreSQL server of the test's own, in a temporary folder, on a free
// port of 127.0.0.1, for the user bootline with no password. As root it runs
// as nobody, since PostgreSQL refuses to run as root. Stopped when
// destroyed, however the test ended.
class PostgresServer {
public:
    PostgresServer() = default;
    ~PostgresServer();
    PostgresServer(const PostgresServer &) = delete;
    PostgresServer &operator=(const PostgresServer &) = delete;

    // An empty text when it runs; else what went wrong.
    QString start();
    QString createDatabase(const QString &name);
    QString url(const QString &database) const;

private:
    QString run(const QString &program, const QStringList &arguments, int timeoutMs);
    QString dataFolder() const { return m_folder.filePath("data"); }

    QTemporaryDir m_folder;
    QString m_bin; // the folder of initdb, pg_ctl and createdb
    bool m_asNobody = false;
    int m_port = 0;
    bool m_started = false;
};
