// Stands in for Telnet where libtelnet was not found (Windows, as a rule):
// NetworkPort refuses rfc2217:// before any of this is reached.
#include "link/telnetcomport.h"

#include <utility>

bool TelnetComPort::isAvailable()
{
    return false;
}

TelnetComPort::TelnetComPort() = default;
TelnetComPort::~TelnetComPort() = default;

void TelnetComPort::start() {}

QByteArray TelnetComPort::receive(const QByteArray &bytes)
{
    return bytes;
}

void TelnetComPort::send(const QByteArray &payload)
{
    m_toSend += payload;
}

void TelnetComPort::setControl(Control) {}

QByteArray TelnetComPort::takeToSend()
{
    return std::exchange(m_toSend, {});
}
