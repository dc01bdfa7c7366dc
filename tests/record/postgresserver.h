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
    // Over TCP: anyone as any role, or only with the role's password, as a
    // server that benches reach over the network lets them in. Its local
    // socket (in socketFolder()) takes anyone.
    enum class Tcp { Trusted, Password };

    PostgresServer() = default;
    ~PostgresServer();
    PostgresServer(const PostgresServer &) = delete;
    PostgresServer &operator=(const PostgresServer &) = delete;

    // An empty text when it runs; else what went wrong.
    QString start(Tcp tcp = Tcp::Trusted);
    QString createDatabase(const QString &name);
    // One of PostgreSQL's client programs (createuser, psql...) as the user
    // bootline over the local socket, fed input; empty, or what went wrong.
    QString client(const QString &program, const QStringList &arguments,
                   const QByteArray &input = {});
    QString url(const QString &database) const;
    QString socketFolder() const { return m_folder.path(); }
    int port() const { return m_port; }

private:
    QString run(const QString &program, const QStringList &arguments, int timeoutMs,
                const QByteArray &input = {});
    QString dataFolder() const { return m_folder.filePath("data"); }

    QTemporaryDir m_folder;
    QString m_bin; // the folder of initdb, pg_ctl and createdb
    bool m_asNobody = false;
    int m_port = 0;
    bool m_started = false;
};
