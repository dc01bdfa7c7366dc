#include "postgresserver.h"

#include <QCollator>
#include <QDir>
#include <QFile>
#include <QProcess>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// The newest PostgreSQL that Debian's packages installed.
QString postgresBin()
{
    QDir versions(QStringLiteral("/usr/lib/postgresql"));
    QStringList names = versions.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    QCollator numeric;
    numeric.setNumericMode(true);
    std::sort(names.begin(), names.end(),
              [&](const QString &a, const QString &b) { return numeric.compare(a, b) > 0; });
    for (const QString &name : names) {
        QString bin = versions.filePath(name + QStringLiteral("/bin"));
        if (QFile::exists(bin + QStringLiteral("/initdb")))
            return bin;
    }
    return {};
}

// A port no one listens on now; the server takes it a moment later.
int freePort()
{
    const int socket = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    int port = 0;
    if (::bind(socket, reinterpret_cast<sockaddr *>(&address), size) == 0 &&
        ::getsockname(socket, reinterpret_cast<sockaddr *>(&address), &size) == 0)
        port = ntohs(address.sin_port);
    ::close(socket);
    return port;
}

} // namespace

PostgresServer::~PostgresServer()
{
    if (m_started)
        run(QStringLiteral("pg_ctl"), {"stop", "-D", dataFolder(), "-m", "immediate", "-w"}, 30000);
}

QString PostgresServer::run(const QString &program, const QStringList &arguments, int timeoutMs,
                            const QByteArray &input)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setWorkingDirectory(m_folder.path()); // nobody may not enter ours
    const QString path = m_bin + u'/' + program;
    if (m_asNobody)
        process.start(QStringLiteral("runuser"),
                      QStringList{"-u", "nobody", "--", path} + arguments);
    else
        process.start(path, arguments);
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        return QStringLiteral("%1 did not end in %2 s").arg(program).arg(timeoutMs / 1000);
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        return QStringLiteral("%1 failed (%2): %3")
            .arg(program)
            .arg(process.exitCode())
            .arg(QString::fromLocal8Bit(process.readAll()).trimmed());
    }
    return {};
}

QString PostgresServer::start(Tcp tcp)
{
    m_bin = postgresBin();
    if (m_bin.isEmpty()) {
        return QStringLiteral("PostgreSQL's initdb is not under /usr/lib/postgresql/*/bin: run "
                              "scripts/install-deps.sh, which installs the postgresql package");
    }
    if (!m_folder.isValid())
        return QStringLiteral("no temporary folder: ") + m_folder.errorString();
    m_asNobody = ::geteuid() == 0;
    if (m_asNobody) {
        const passwd *nobody = ::getpwnam("nobody");
        if (!nobody || ::chown(qPrintable(m_folder.path()), nobody->pw_uid, nobody->pw_gid) != 0)
            return QStringLiteral("cannot give %1 to the user nobody").arg(m_folder.path());
    }
    m_port = freePort();
    if (m_port == 0)
        return QStringLiteral("no free port on 127.0.0.1");

    QString error = run(QStringLiteral("initdb"),
                        {"-D", dataFolder(), "--auth-local=trust",
                         tcp == Tcp::Trusted ? "--auth-host=trust" : "--auth-host=scram-sha-256",
                         "-U", "bootline", "-E", "UTF8", "--locale=C", "--no-sync"},
                        60000);
    if (!error.isEmpty())
        return error;
    const QString options = QStringLiteral("-k %1 -p %2 -c listen_addresses=127.0.0.1")
                                .arg(m_folder.path())
                                .arg(m_port);
    const QString log = m_folder.filePath("server.log");
    error = run(QStringLiteral("pg_ctl"),
                {"start", "-D", dataFolder(), "-l", log, "-w", "-t", "60", "-o", options}, 70000);
    // Stopped in the destructor even when the start failed half way.
    m_started = true;
    if (!error.isEmpty()) {
        QFile file(log);
        file.open(QIODevice::ReadOnly);
        return error + QStringLiteral("; the server's log: ") +
               QString::fromLocal8Bit(file.readAll());
    }
    return {};
}

QString PostgresServer::createDatabase(const QString &name)
{
    return client(QStringLiteral("createdb"), {name});
}

QString PostgresServer::client(const QString &program, const QStringList &arguments,
                               const QByteArray &input)
{
    return run(program,
               QStringList{"-h", m_folder.path(), "-p", QString::number(m_port), "-U", "bootline"} +
                   arguments,
               30000, input);
}

QString PostgresServer::url(const QString &database) const
{
    return QStringLiteral("postgresql://bootline@127.0.0.1:%1/%2").arg(m_port).arg(database);
}
