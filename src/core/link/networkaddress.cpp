#include "link/networkaddress.h"

#include <QRegularExpression>

namespace {

const QRegularExpression &schemePrefix()
{
    static const QRegularExpression scheme(QStringLiteral("^([A-Za-z][A-Za-z0-9+.-]*)://"));
    return scheme;
}

} // namespace

QString NetworkAddress::hostAndPort() const
{
    const QString shownHost = host.contains(u':') ? u'[' + host + u']' : host;
    return shownHost + u':' + QString::number(port);
}

QString portReachName(PortReach reach)
{
    switch (reach) {
    case PortReach::Socket:
        return QStringLiteral("socket");
    case PortReach::Rfc2217:
        return QStringLiteral("rfc2217");
    case PortReach::Local:
        break;
    }
    return QStringLiteral("local");
}

PortReach portReachOfName(const QString &portName)
{
    const auto address = networkAddressOfName(portName);
    if (const auto *network = std::get_if<NetworkAddress>(&address))
        return network->protocol == NetworkAddress::Protocol::Rfc2217 ? PortReach::Rfc2217
                                                                      : PortReach::Socket;
    return PortReach::Local;
}

QString whyPortWasLost(const QString &portName)
{
    if (isNetworkPortName(portName))
        return QStringLiteral("the server closed the connection. Check the device server and "
                              "the network");
    return QStringLiteral("the device went away. Check the cable or adapter");
}

bool isNetworkPortName(const QString &portName)
{
    return schemePrefix().match(portName).hasMatch();
}

std::variant<NetworkAddress, QString> networkAddressOfName(const QString &portName)
{
    const QRegularExpressionMatch scheme = schemePrefix().match(portName);
    if (!scheme.hasMatch())
        return QStringLiteral("%1 is no network port: give socket://HOST:PORT or "
                              "rfc2217://HOST:PORT")
            .arg(portName);
    NetworkAddress address;
    const QString schemeName = scheme.captured(1).toLower();
    if (schemeName == QStringLiteral("socket"))
        address.protocol = NetworkAddress::Protocol::RawSocket;
    else if (schemeName == QStringLiteral("rfc2217"))
        address.protocol = NetworkAddress::Protocol::Rfc2217;
    else
        return QStringLiteral("%1: network ports are socket://HOST:PORT or rfc2217://HOST:PORT, "
                              "not %2://")
            .arg(portName, scheme.captured(1));
    const QString rest = portName.mid(scheme.capturedLength());
    if (rest.contains(u'@'))
        // Not shown: what stands before the "@" may be a password.
        return QStringLiteral("a network port takes no user or password: give %1://HOST:PORT")
            .arg(schemeName);
    // HOST:PORT, or [IPv6]:PORT; nothing after the port.
    static const QRegularExpression hostPort(
        QStringLiteral(R"(^(?:\[([0-9A-Fa-f:.]+)\]|([A-Za-z0-9.-]+)):([0-9]{1,5})/?$)"));
    const QRegularExpressionMatch match = hostPort.match(rest);
    const int port = match.hasMatch() ? match.captured(3).toInt() : 0;
    if (!match.hasMatch() || port < 1 || port > 65535)
        return QStringLiteral("%1: give the server as %2://HOST:PORT, with a TCP port from 1 "
                              "to 65535, such as %2://192.168.1.50:4001")
            .arg(portName, schemeName);
    address.host = match.captured(1).isEmpty() ? match.captured(2) : match.captured(1);
    address.port = quint16(port);
    return address;
}
