#include "e2e/ser2netserver.h"

#include <QFile>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTest>

namespace {

// Asked of the kernel, not by connecting: ser2net opens the device for each
// connection and takes a while to let it go, and would turn the job away
// meanwhile.
bool listening(quint16 port)
{
    QFile table(QStringLiteral("/proc/net/tcp"));
    if (!table.open(QIODevice::ReadOnly))
        return false;
    // local address 127.0.0.1:port in hex, state 0A (listen)
    const QByteArray local =
        "0100007F:" + QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
    for (const QByteArray &line : table.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() > 3 && fields.at(1) == local && fields.at(3) == "0A")
            return true;
    }
    return false;
}

} // namespace

quint16 freeLoopbackPort()
{
    QTcpServer server;
    return server.listen(QHostAddress::LocalHost) ? server.serverPort() : 0;
}

QString Ser2NetServer::program()
{
    // Debian puts it in sbin, which a user's PATH may leave out.
    QString found = QStandardPaths::findExecutable(QStringLiteral("ser2net"));
    if (found.isEmpty())
        found = QStandardPaths::findExecutable(
            QStringLiteral("ser2net"),
            {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/local/sbin")});
    return found;
}

Ser2NetServer::Ser2NetServer(const QString &device, const QString &folder)
{
    m_rawPort = freeLoopbackPort();
    m_telnetPort = freeLoopbackPort();
    const QString connector =
        QStringLiteral("serialdev,%1,115200n81,local").arg(device); // no modem lines on a pty
    const QString options = QStringLiteral("  options:\n    chardelay: false\n");
    const QString config =
        QStringLiteral("connection: &raw\n  accepter: tcp,127.0.0.1,%1\n  connector: %3\n%4"
                       "connection: &telnet\n  accepter: telnet(rfc2217),tcp,127.0.0.1,%2\n"
                       "  connector: %3\n%4")
            .arg(m_rawPort)
            .arg(m_telnetPort)
            .arg(connector, options);
    QFile file(folder + QStringLiteral("/ser2net.yaml"));
    if (!file.open(QIODevice::WriteOnly) || file.write(config.toUtf8()) < 0)
        return;
    file.close();
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    // -n: in front, as our child; -u: no UUCP lock in /var/lock, which a user may not write.
    m_process.start(program(), {QStringLiteral("-n"), QStringLiteral("-u"), QStringLiteral("-P"),
                                folder + QStringLiteral("/ser2net.pid"), QStringLiteral("-c"),
                                file.fileName()});
    m_ready = m_process.waitForStarted(5000) &&
              QTest::qWaitFor(
                  [this] {
                      return m_process.state() != QProcess::Running ||
                             (listening(m_rawPort) && listening(m_telnetPort));
                  },
                  5000) &&
              m_process.state() == QProcess::Running;
}

Ser2NetServer::~Ser2NetServer()
{
    stop();
}

QString Ser2NetServer::socketUrl() const
{
    return QStringLiteral("socket://127.0.0.1:%1").arg(m_rawPort);
}

QString Ser2NetServer::rfc2217Url() const
{
    return QStringLiteral("rfc2217://127.0.0.1:%1").arg(m_telnetPort);
}

void Ser2NetServer::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(1000);
    }
}

QString Ser2NetServer::output()
{
    return QString::fromLocal8Bit(m_process.readAll());
}
