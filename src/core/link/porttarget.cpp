#include "link/porttarget.h"

#include "link/portname.h"

QString portNameForms()
{
    return QStringLiteral("COM<n>, a device path, or socket://HOST:PORT or rfc2217://HOST:PORT");
}

std::variant<PortTarget, QString> portTargetOfName(const QString &portName)
{
    if (isDevicePath(portName))
        return PortTarget{PortTarget::Kind::DevicePath, 0, portName, {}};
    if (isNetworkPortName(portName)) {
        const auto address = networkAddressOfName(portName);
        if (const auto *refusal = std::get_if<QString>(&address))
            return *refusal;
        return PortTarget{PortTarget::Kind::Network, 0, {}, std::get<NetworkAddress>(address)};
    }
    if (const std::optional<qint16> number = portNumberOfName(portName))
        return PortTarget{PortTarget::Kind::Number, *number, {}, {}};
    return QStringLiteral("%1 is no port name: give %2").arg(portName, portNameForms());
}
