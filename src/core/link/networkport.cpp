#include "link/networkport.h"

#include "link/linesequence.h"
#include "link/telnetcomport.h"
#include "shared/runtimeerror.h"

#include <QDeadlineTimer>
#include <QThread>

#include <utility>

namespace {

// DTR and RTS as COM port control commands; a wait holds the program up, as
// on a local port.
class TelnetModemLines : public ModemLines {
public:
    explicit TelnetModemLines(std::function<void(TelnetComPort::Control)> send)
        : m_send(std::move(send))
    {
    }
    void setDtr(bool on) override
    {
        m_send(on ? TelnetComPort::Control::DtrOn : TelnetComPort::Control::DtrOff);
    }
    void setRts(bool on) override
    {
        m_send(on ? TelnetComPort::Control::RtsOn : TelnetComPort::Control::RtsOff);
    }
    void wait(int ms) override { QThread::msleep(ulong(ms)); }

private:
    std::function<void(TelnetComPort::Control)> m_send;
};

QString seconds(int ms)
{
    return QStringLiteral("%1 s").arg(ms / 1000.0);
}

} // namespace

NetworkPort::NetworkPort(int connectTimeoutMs) : m_connectTimeoutMs(connectTimeoutMs)
{
    QObject::connect(&m_socket, &QTcpSocket::readyRead, &m_socket, [this] {
        if (takeIncoming() && m_open && m_arrivalWatched && m_arrival)
            m_arrival();
    });
    // The server closed (RemoteHostClosedError), reset or became unreachable;
    // a wait of our own running out is no loss.
    QObject::connect(&m_socket, &QTcpSocket::errorOccurred, &m_socket,
                     [this](QAbstractSocket::SocketError error) {
                         if (m_open && error != QAbstractSocket::SocketTimeoutError)
                             loseConnection();
                     });
}

NetworkPort::~NetworkPort()
{
    m_open = false; // closing now is no loss
    m_socket.abort();
}

void NetworkPort::setPortNumber(qint16 portNumber)
{
    throw RuntimeError(RuntimeError::PortNotAvailable,
                       QStringLiteral("COM%1 is a local port: a network port is named "
                                      "socket://HOST:PORT or rfc2217://HOST:PORT")
                           .arg(portNumber));
}

void NetworkPort::setDevicePath(const QString &path)
{
    throw RuntimeError(RuntimeError::PortNotAvailable,
                       QStringLiteral("%1 is a local device: a network port is named "
                                      "socket://HOST:PORT or rfc2217://HOST:PORT")
                           .arg(path));
}

void NetworkPort::setNetworkAddress(const NetworkAddress &address)
{
    m_address = address;
}

void NetworkPort::setArrivalHandler(std::function<void()> handler)
{
    m_arrival = std::move(handler);
}

QString NetworkPort::url() const
{
    const bool telnet = m_address.protocol == NetworkAddress::Protocol::Rfc2217;
    return (telnet ? QStringLiteral("rfc2217://") : QStringLiteral("socket://")) +
           m_address.hostAndPort();
}

void NetworkPort::failOpen(const QString &why)
{
    m_socket.abort();
    m_telnet.reset();
    m_received.clear();
    throw RuntimeError(RuntimeError::PortNotAvailable,
                       QStringLiteral("Port %1 cannot be opened: %2").arg(url(), why));
}

void NetworkPort::setOpen(bool open)
{
    if (!open) {
        close();
        return;
    }
    if (m_open)
        return;
    m_lost = false;
    m_received.clear();
    refuseLineOptions();
    connectToServer();
    if (m_address.protocol == NetworkAddress::Protocol::Rfc2217)
        agreeOnLine();
    m_open = true;
    runModemLines(m_lineOptions.afterOpen);
}

// Before anything is connected: what the server would have to do for us.
void NetworkPort::refuseLineOptions() const
{
    if (m_lineOptions.rs485)
        throw RuntimeError(RuntimeError::PortNotAvailable,
                           QStringLiteral("Port %1 cannot be opened: RS-485 mode is set on the "
                                          "device server, not from here")
                               .arg(url()));
    if (m_lineOptions.drivesModemLines() &&
        m_address.protocol == NetworkAddress::Protocol::RawSocket)
        throw RuntimeError(RuntimeError::PortNotAvailable,
                           QStringLiteral("Port %1 cannot be opened: a raw socket has no modem "
                                          "lines for the DTR/RTS sequences: use rfc2217://%2")
                               .arg(url(), m_address.hostAndPort()));
}

void NetworkPort::connectToServer()
{
    m_socket.abort();
    m_socket.connectToHost(m_address.host, m_address.port);
    if (!m_socket.waitForConnected(m_connectTimeoutMs)) {
        const QString where = m_address.hostAndPort();
        switch (m_socket.error()) {
        case QAbstractSocket::ConnectionRefusedError:
            failOpen(QStringLiteral("connection refused by %1 (is ser2net running, and is the "
                                    "port right?)")
                         .arg(where));
        case QAbstractSocket::HostNotFoundError:
            failOpen(
                QStringLiteral("no host is named %1 (is the name right?)").arg(m_address.host));
        case QAbstractSocket::SocketTimeoutError:
            failOpen(QStringLiteral("no answer from %1 within %2 (is the server on, and is the "
                                    "address right?)")
                         .arg(where, seconds(m_connectTimeoutMs)));
        default:
            failOpen(QStringLiteral("%1 cannot be reached: %2 (is the network up, and is the "
                                    "address right?)")
                         .arg(where, m_socket.errorString()));
        }
    }
    // A reply frame is one small write on the server's side: sent at once.
    m_socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
}

// The Telnet offers, then 115200 8N1 asked for and confirmed, within the
// same time as the connection. A server that refuses the COM port option has
// its line set up on its side; then no modem line can be driven from here.
void NetworkPort::agreeOnLine()
{
    m_telnet = std::make_unique<TelnetComPort>();
    m_telnet->start();
    sendToServer(m_telnet->takeToSend());
    const QString where = m_address.hostAndPort();
    const QDeadlineTimer deadline(m_connectTimeoutMs);
    const auto settled = [this] {
        return m_telnet->comPortAnswer() == TelnetComPort::ComPortAnswer::Refused ||
               (m_telnet->comPortAnswer() == TelnetComPort::ComPortAnswer::Agreed &&
                m_telnet->lineSettingsConfirmed());
    };
    while (!settled() && m_telnet->protocolError().isEmpty() && !deadline.hasExpired() &&
           m_socket.state() == QAbstractSocket::ConnectedState &&
           m_socket.waitForReadyRead(int(qMax<qint64>(deadline.remainingTime(), 1))))
        ; // the answers are taken as they come, by readyRead
    if (!m_telnet->protocolError().isEmpty())
        failOpen(QStringLiteral("the server at %1 broke the Telnet protocol: %2")
                     .arg(where, m_telnet->protocolError()));
    if (m_socket.state() != QAbstractSocket::ConnectedState)
        failOpen(QStringLiteral("the server at %1 closed the connection (is another program "
                                "connected to that port?)")
                     .arg(where));
    if (m_telnet->comPortAnswer() == TelnetComPort::ComPortAnswer::Awaited)
        failOpen(QStringLiteral("no Telnet answer from %1 within %2 (if it is a raw TCP port, "
                                "give socket://%1)")
                     .arg(where, seconds(m_connectTimeoutMs)));
    if (!settled())
        failOpen(QStringLiteral("the server at %1 did not confirm 115200 8N1 within %2")
                     .arg(where, seconds(m_connectTimeoutMs)));
    if (!m_telnet->lineSettingRefused().isEmpty())
        failOpen(QStringLiteral("the server at %1 set its line to %2, not 115200 8N1")
                     .arg(where, m_telnet->lineSettingRefused()));
    if (m_lineOptions.drivesModemLines() &&
        m_telnet->comPortAnswer() == TelnetComPort::ComPortAnswer::Refused)
        failOpen(QStringLiteral("the server at %1 refuses the COM port control option, so the "
                                "DTR/RTS sequences cannot run (turn it on there, or leave the "
                                "sequences out)")
                     .arg(where));
}

void NetworkPort::runModemLines(const LineSequence &sequence)
{
    if (sequence.isEmpty() || !m_telnet)
        return;
    TelnetModemLines lines([this](TelnetComPort::Control control) {
        m_telnet->setControl(control);
        sendToServer(m_telnet->takeToSend());
    });
    runLineSequence(sequence, lines);
}

void NetworkPort::close()
{
    if (m_open) {
        runModemLines(m_lineOptions.beforeClose);
        m_open = false;
        m_socket.flush();
        if (m_socket.bytesToWrite() > 0)
            m_socket.waitForBytesWritten(m_connectTimeoutMs);
        m_socket.disconnectFromHost();
    }
    m_socket.abort();
    m_telnet.reset();
    m_received.clear();
}

// Everything the socket holds, through Telnet on rfc2217://; the server's
// requests are answered at once.
bool NetworkPort::takeIncoming()
{
    if (m_socket.bytesAvailable() <= 0)
        return false;
    QByteArray payload = m_socket.readAll();
    if (m_telnet) {
        payload = m_telnet->receive(payload);
        sendToServer(m_telnet->takeToSend());
        if (m_open && !m_telnet->protocolError().isEmpty()) {
            loseConnection(); // nothing after it can be trusted
            return false;
        }
    }
    m_received += payload;
    return !payload.isEmpty();
}

// Out now, not on the next turn of the event loop: the board gets the line sooner.
void NetworkPort::sendToServer(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return;
    if (m_socket.write(bytes) != bytes.size() && m_open) {
        loseConnection();
        return;
    }
    m_socket.flush();
}

void NetworkPort::loseConnection()
{
    m_lost = true;
    m_open = false;
    m_socket.abort();
    m_received.clear();
}

qint16 NetworkPort::charactersWaiting()
{
    takeIncoming();
    return qint16(qMin<qsizetype>(m_received.size(), 32767));
}

QByteArray NetworkPort::readWaiting()
{
    takeIncoming();
    return std::exchange(m_received, {});
}

QByteArray NetworkPort::peekWaiting()
{
    takeIncoming();
    return m_received;
}

// On a lost port the next poll says so; a write is no place to fail.
void NetworkPort::write(const QByteArray &bytes)
{
    if (!m_open) {
        if (m_lost)
            return;
        throw RuntimeError(
            RuntimeError::DeviceIoError,
            QStringLiteral("Device I/O error on %1: the port is not open").arg(url()));
    }
    if (!m_telnet) {
        sendToServer(bytes);
        return;
    }
    m_telnet->send(bytes);
    sendToServer(m_telnet->takeToSend());
}
