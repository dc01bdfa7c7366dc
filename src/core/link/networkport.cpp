#include "link/networkport.h"

#include "shared/runtimeerror.h"

// Placeholder until the network port is built: every open fails.
NetworkPort::NetworkPort() = default;
NetworkPort::~NetworkPort() = default;
void NetworkPort::setPortNumber(qint16) {}
void NetworkPort::setDevicePath(const QString &) {}
void NetworkPort::setNetworkAddress(const NetworkAddress &address)
{
    m_address = address;
}
void NetworkPort::setLineOptions(const LineOptions &) {}
void NetworkPort::setOpen(bool open)
{
    if (open)
        throw RuntimeError(RuntimeError::PortNotAvailable,
                           QStringLiteral("Port %1 cannot be opened").arg(m_address.hostAndPort()));
    m_open = false;
}
bool NetworkPort::isOpen() const
{
    return m_open;
}
bool NetworkPort::isLost() const
{
    return false;
}
qint16 NetworkPort::charactersWaiting()
{
    return 0;
}
QByteArray NetworkPort::readWaiting()
{
    return {};
}
QByteArray NetworkPort::peekWaiting()
{
    return {};
}
void NetworkPort::setArrivalHandler(std::function<void()>) {}
void NetworkPort::setArrivalWatched(bool) {}
void NetworkPort::write(const QByteArray &) {}
