#include "link/anyport.h"

void AnyPort::setTarget(const PortTarget &target)
{
    SerialPort &port = target.kind == PortTarget::Kind::Network
                           ? static_cast<SerialPort &>(m_network)
                           : static_cast<SerialPort &>(m_local);
    port.setTarget(target);
    choose(port);
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
