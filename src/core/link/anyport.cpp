#include "link/anyport.h"

void AnyPort::setPortNumber(qint16 portNumber)
{
    m_local.setPortNumber(portNumber);
    choose(m_local);
}

void AnyPort::setDevicePath(const QString &path)
{
    m_local.setDevicePath(path);
    choose(m_local);
}

void AnyPort::setNetworkAddress(const NetworkAddress &address)
{
    m_network.setNetworkAddress(address);
    choose(m_network);
}

void AnyPort::setLineOptions(const LineOptions &options)
{
    m_local.setLineOptions(options);
    m_network.setLineOptions(options);
}

void AnyPort::setOpen(bool open)
{
    m_chosen->setOpen(open);
}

void AnyPort::setArrivalHandler(std::function<void()> handler)
{
    m_local.setArrivalHandler(handler);
    m_network.setArrivalHandler(std::move(handler));
}

void AnyPort::setArrivalWatched(bool watched)
{
    m_local.setArrivalWatched(watched);
    m_network.setArrivalWatched(watched);
}

// A port still open keeps its kind until it is closed.
void AnyPort::choose(SerialPort &port)
{
    if (&port != m_chosen && (m_chosen->isOpen() || m_chosen->isOpening()))
        m_chosen->setOpen(false);
    m_chosen = &port;
}
