#include "link/networkport.h"

#include "link/linesequence.h"
#include "link/telnetcomport.h"
#include "shared/runtimeerror.h"

#include <QThread>

#include <utility>

namespace {

// DTR and RTS as COM port control commands.
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
        const bool payload = takeIncoming();
        if (m_opening == Opening::AgreeingOnLine)
            checkLineAgreement();
        else if (payload && m_open && m_opening == Opening::No && m_arrivalWatched && m_arrival)
            m_arrival();
    });
    QObject::connect(&m_socket, &QTcpSocket::connected, &m_socket, [this] { connected(); });
    // The server refused, closed (RemoteHostClosedError), reset or became
    // unreachable.
    QObject::connect(&m_socket, &QTcpSocket::errorOccurred, &m_socket,
                     [this](QAbstractSocket::SocketError error) {
                         if (m_closeSequence)
                             endClose(); // nobody is left to hear the rest
                         else if (m_opening != Opening::No)
                             connectFailed(error);
                         else if (m_open)
                             loseConnection();
                     });
    m_openDeadline.setSingleShot(true);
    QObject::connect(&m_openDeadline, &QTimer::timeout, &m_socket, [this] { openTimedOut(); });
}

// A close sequence under way is finished first, or the board is left in
// the middle of it.
NetworkPort::~NetworkPort()
{
    m_open = false; // closing now is no loss
    m_opening = Opening::No;
    if (m_closeSequence) {
        m_closeSequence->finishNow();
        m_socket.flush();
    }
    m_socket.abort();
}

void NetworkPort::setTarget(const PortTarget &target)
{
    if (target.kind != PortTarget::Kind::Network)
        throw RuntimeError(RuntimeError::PortNotAvailable,
                           QStringLiteral("%1 is a local port: a network port is named "
                                          "socket://HOST:PORT or rfc2217://HOST:PORT")
                               .arg(target.kind == PortTarget::Kind::DevicePath
                                        ? target.devicePath
                                        : QStringLiteral("COM%1").arg(target.number)));
    if (target.network.protocol == NetworkAddress::Protocol::Rfc2217 &&
        !TelnetComPort::isAvailable())
        throw RuntimeError(RuntimeError::PortNotAvailable,
                           QStringLiteral("Port rfc2217://%1 needs Telnet, which this build of "
                                          "Bootline lacks (it was built without libtelnet): "
                                          "give the server's raw TCP port as socket://HOST:PORT, "
                                          "or use a build with libtelnet")
                               .arg(target.network.hostAndPort()));
    m_address = target.network;
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

void NetworkPort::setOpenProgressHandler(const std::function<void()> &handler)
{
    m_openProgress = handler;
}

QString NetworkPort::openingStep() const
{
    switch (m_opening) {
    case Opening::No:
        break;
    case Opening::Connecting:
        return QStringLiteral("Connecting to %1").arg(url());
    case Opening::AgreeingOnLine:
        return QStringLiteral("Setting up %1").arg(url());
    case Opening::RunningSequence:
        return QStringLiteral("Modem lines of %1").arg(url());
    case Opening::FinishingClose:
        return QStringLiteral("Finishing the close of %1").arg(url());
    }
    return {};
}

// Told after the event at hand is over: whoever hears it may close us again.
void NetworkPort::step(Opening opening)
{
    m_opening = opening;
    if (m_inSetOpen)
        return;
    QMetaObject::invokeMethod(
        &m_socket,
        [this] {
            if (m_openProgress)
                m_openProgress();
        },
        Qt::QueuedConnection);
}

// During setOpen a failure is thrown, as a local port's is; later it is told.
void NetworkPort::failOpen(const QString &why)
{
    m_openDeadline.stop();
    m_openSequence.reset();
    m_modemLines.reset();
    m_open = false;
    m_opening = Opening::No;
    m_socket.abort();
    m_telnet.reset();
    m_received.clear();
    m_openFailure = QStringLiteral("Port %1 cannot be opened: %2").arg(url(), why);
    if (m_inSetOpen)
        throw RuntimeError(RuntimeError::PortNotAvailable, m_openFailure);
    step(Opening::No);
}

// Opened while the last close's sequence runs, the open begins as it ends.
void NetworkPort::setOpen(bool open)
{
    if (!open) {
        close();
        return;
    }
    if (m_open || m_opening != Opening::No)
        return;
    m_openFailure.clear();
    m_inSetOpen = true;
    if (m_closeSequence)
        step(Opening::FinishingClose);
    else
        connectToServer();
    m_inSetOpen = false;
}

void NetworkPort::connectToServer()
{
    m_lost = false;
    m_received.clear();
    if (const QString refusal = refusedLineOptions(); !refusal.isEmpty())
        return failOpen(refusal);
    step(Opening::Connecting);
    m_socket.abort();
    m_openDeadline.start(m_connectTimeoutMs);
    m_socket.connectToHost(m_address.host, m_address.port);
}

// Before anything is connected: what the server would have to do for us.
QString NetworkPort::refusedLineOptions() const
{
    if (m_lineOptions.rs485)
        return QStringLiteral("RS-485 mode is set on the device server, not from here");
    if (m_lineOptions.drivesModemLines() &&
        m_address.protocol == NetworkAddress::Protocol::RawSocket)
        return QStringLiteral("a raw socket has no modem lines for the DTR/RTS sequences: use "
                              "rfc2217://%1")
            .arg(m_address.hostAndPort());
    return {};
}

void NetworkPort::connectFailed(QAbstractSocket::SocketError error)
{
    const QString where = m_address.hostAndPort();
    if (m_opening != Opening::Connecting)
        return failOpen(QStringLiteral("the server at %1 closed the connection (is another "
                                       "program connected to that port?)")
                            .arg(where));
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        return failOpen(QStringLiteral("connection refused by %1 (is ser2net running, and is "
                                       "the port right?)")
                            .arg(where));
    case QAbstractSocket::HostNotFoundError:
        return failOpen(
            QStringLiteral("no host is named %1 (is the name right?)").arg(m_address.host));
    default:
        return failOpen(QStringLiteral("%1 cannot be reached: %2 (is the network up, and is the "
                                       "address right?)")
                            .arg(where, m_socket.errorString()));
    }
}

void NetworkPort::openTimedOut()
{
    const QString where = m_address.hostAndPort();
    if (m_opening == Opening::Connecting)
        return failOpen(QStringLiteral("no answer from %1 within %2 (is the server on, and is "
                                       "the address right?)")
                            .arg(where, seconds(m_connectTimeoutMs)));
    if (m_opening != Opening::AgreeingOnLine)
        return;
    if (m_telnet->comPortAnswer() == TelnetComPort::ComPortAnswer::Awaited)
        return failOpen(QStringLiteral("no Telnet answer from %1 within %2 (if it is a raw TCP "
                                       "port, give socket://%1)")
                            .arg(where, seconds(m_connectTimeoutMs)));
    failOpen(QStringLiteral("the server at %1 did not confirm 115200 8N1 within %2")
                 .arg(where, seconds(m_connectTimeoutMs)));
}

// A reply frame is one small write on the server's side: sent at once. On
// rfc2217:// the Telnet offers go out, and 115200 8N1 is asked for.
void NetworkPort::connected()
{
    if (m_opening != Opening::Connecting)
        return;
    m_socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    if (m_address.protocol != NetworkAddress::Protocol::Rfc2217)
        return startOpenSequence();
    step(Opening::AgreeingOnLine);
    m_telnet = std::make_unique<TelnetComPort>();
    m_telnet->start();
    sendToServer(m_telnet->takeToSend());
}

// The server's answers so far, within the same time as the connection. A
// server that refuses the COM port option has its line set up on its side;
// then no modem line can be driven from here.
void NetworkPort::checkLineAgreement()
{
    const QString where = m_address.hostAndPort();
    if (!m_telnet->protocolError().isEmpty())
        return failOpen(QStringLiteral("the server at %1 broke the Telnet protocol: %2")
                            .arg(where, m_telnet->protocolError()));
    const bool refused = m_telnet->comPortAnswer() == TelnetComPort::ComPortAnswer::Refused;
    const bool agreed = m_telnet->comPortAnswer() == TelnetComPort::ComPortAnswer::Agreed &&
                        m_telnet->lineSettingsConfirmed();
    if (!refused && !agreed)
        return;
    if (!m_telnet->lineSettingRefused().isEmpty())
        return failOpen(QStringLiteral("the server at %1 set its line to %2, not 115200 8N1")
                            .arg(where, m_telnet->lineSettingRefused()));
    if (m_lineOptions.drivesModemLines() && refused)
        return failOpen(QStringLiteral("the server at %1 refuses the COM port control option, "
                                       "so the DTR/RTS sequences cannot run (turn it on there, "
                                       "or leave the sequences out)")
                            .arg(where));
    startOpenSequence();
}

// The open's own time ends with the connection; a sequence takes its own.
void NetworkPort::startOpenSequence()
{
    m_openDeadline.stop();
    m_open = true; // a server gone meanwhile is a lost port, not a failed open
    if (m_lineOptions.afterOpen.isEmpty() || !m_telnet)
        return opened();
    step(Opening::RunningSequence);
    m_openSequence =
        std::make_unique<TimedLineSequence>(m_lineOptions.afterOpen, modemLines(), [this](auto &) {
            m_openSequence.reset();
            m_received.clear(); // sent while the board started anew: no answer of ours
            opened();
        });
    if (m_openSequence->start()) {
        m_openSequence.reset();
        opened();
    }
}

void NetworkPort::opened()
{
    step(Opening::No);
}

ModemLines &NetworkPort::modemLines()
{
    if (!m_modemLines)
        m_modemLines = std::make_unique<TelnetModemLines>([this](TelnetComPort::Control control) {
            m_telnet->setControl(control);
            sendToServer(m_telnet->takeToSend());
        });
    return *m_modemLines;
}

// An open under way is given up unheard. The close's sequence runs on its
// timers; what the server has not taken by its end, it never would.
void NetworkPort::close()
{
    m_openDeadline.stop();
    m_openSequence.reset();
    const bool wasOpening = std::exchange(m_opening, Opening::No) != Opening::No;
    if (m_closeSequence)
        return; // the open that waited for it is given up; the close goes on
    m_received.clear();
    if (wasOpening || !m_open) {
        m_open = false;
        m_socket.abort();
        m_telnet.reset();
        m_modemLines.reset();
        return;
    }
    m_open = false;
    if (!m_lineOptions.beforeClose.isEmpty() && m_telnet) {
        m_closeSequence = std::make_unique<TimedLineSequence>(
            m_lineOptions.beforeClose, modemLines(), [this](auto &) { endClose(); });
        if (!m_closeSequence->start())
            return;
    }
    endClose();
}

void NetworkPort::endClose()
{
    m_closeSequence.reset();
    m_modemLines.reset();
    m_socket.flush();
    m_socket.disconnectFromHost();
    m_telnet.reset();
    if (m_opening == Opening::FinishingClose)
        connectToServer();
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
    if (m_opening != Opening::No)
        return failOpen(
            QStringLiteral("the server at %1 closed the connection").arg(m_address.hostAndPort()));
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
