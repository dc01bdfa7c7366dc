#include "link/portlist.h"

#include "link/portname.h"
#include "shared/readable.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>

namespace {

QString canonical(const QString &path)
{
    const QString resolved = QFileInfo(path).canonicalFilePath();
    return resolved.isEmpty() ? path : resolved;
}

// The aliases COM<n> in the alias folder, by the device each leads to.
QList<std::pair<QString, QString>> aliasTargets()
{
    QList<std::pair<QString, QString>> targets;
#ifndef Q_OS_WIN
    const QDir folder(portAliasFolder());
    for (const QString &name :
         folder.entryList({QStringLiteral("COM*")},
                          QDir::System | QDir::Files | QDir::NoDotAndDotDot, QDir::Name)) {
        if (portNumberOfName(name))
            targets.append({name, canonical(folder.filePath(name))});
    }
#endif
    return targets;
}

} // namespace

QList<PresentPort> presentPorts()
{
    QList<PresentPort> ports;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        PresentPort port;
        port.device = info.systemLocation();
        port.description = info.description();
        port.manufacturer = info.manufacturer();
        if (info.hasVendorIdentifier() && info.hasProductIdentifier())
            port.usbId = QStringLiteral("%1:%2")
                             .arg(info.vendorIdentifier(), 4, 16, QChar(u'0'))
                             .arg(info.productIdentifier(), 4, 16, QChar(u'0'));
        port.serialNumber = info.serialNumber();
        ports.append(port);
    }
    for (const auto &[alias, target] : aliasTargets()) {
        // Named again: clang 14 cannot capture a structured binding in a lambda.
        const QString &device = target;
        auto port = std::find_if(ports.begin(), ports.end(), [&](const PresentPort &present) {
            return canonical(present.device) == device;
        });
        if (port == ports.end()) {
            ports.append({target, {}, {}, {}, {}, {}});
            port = ports.end() - 1;
        }
        port->aliases.append(alias);
    }
    return ports;
}

QString describePort(const PresentPort &port)
{
    QStringList parts{visibleText(port.device)};
    QString product = port.description;
    if (!port.manufacturer.isEmpty() && !product.contains(port.manufacturer))
        product += (product.isEmpty() ? QStringLiteral("made by ") : QStringLiteral(" by ")) +
                   port.manufacturer;
    if (!product.isEmpty())
        parts << visibleText(product);
    if (!port.usbId.isEmpty())
        parts << QStringLiteral("USB %1").arg(port.usbId);
    if (!port.serialNumber.isEmpty())
        parts << QStringLiteral("serial number %1").arg(visibleText(port.serialNumber));
    if (!port.aliases.isEmpty())
        parts << QStringLiteral("as %1").arg(port.aliases.join(QStringLiteral(", ")));
    return parts.join(QStringLiteral(", "));
}
