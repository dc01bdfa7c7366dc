#include "cli/portwatch.h"

#include "link/portname.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <filesystem>
#include <system_error>

namespace {

// Where the name leads: the device itself, links followed; empty when it is not there.
QString deviceOf(const QString &name)
{
    if (isDevicePath(name))
        return QFileInfo(name).canonicalFilePath();
    const std::optional<qint16> number = portNumberOfName(name);
    return number ? QFileInfo(deviceForPortNumber(*number)).canonicalFilePath() : QString();
}

bool isSerialDevice(const QString &path)
{
    std::error_code error;
    return QFileInfo(path).fileName() != QStringLiteral("ptmx") &&
           std::filesystem::is_character_file(QFile::encodeName(path).toStdString(), error);
}

} // namespace

bool isPortPresent(const QString &name)
{
    return !deviceOf(name).isEmpty(); // a link to a device that went is not
}

bool isPortPattern(const QString &name)
{
    return name.contains(u'*') || name.contains(u'?') || name.contains(u'[');
}

QList<PortPlan> portsPresent(const QList<PortPlan> &plans)
{
    QList<PortPlan> present;
    QStringList devices;
    const auto add = [&](const QString &name, const QStringList &addresses) {
        const QString device = deviceOf(name);
        if (device.isEmpty() || devices.contains(device))
            return;
        devices.append(device);
        present.append({name, addresses});
    };
    for (const PortPlan &plan : plans) {
        if (!isPortPattern(plan.port)) {
            add(plan.port, plan.addresses);
            continue;
        }
        const QFileInfo pattern(plan.port);
        const QDir folder = pattern.dir();
        for (const QString &name :
             folder.entryList({pattern.fileName()},
                              QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name)) {
            const QString path = folder.filePath(name);
            if (isSerialDevice(path))
                add(path, plan.addresses);
        }
    }
    return present;
}

QString sameDeviceAs(const QList<PortPlan> &plans, const QString &name)
{
    const QString device = deviceOf(name);
    for (const PortPlan &plan : plans) {
        if (!device.isEmpty() && deviceOf(plan.port) == device)
            return plan.port;
    }
    return {};
}
