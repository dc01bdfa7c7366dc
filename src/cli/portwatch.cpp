#include "cli/portwatch.h"

#include "link/portname.h"

#include <QDir>
#include <QFileInfo>

namespace {

bool isPresent(const QString &name)
{
    if (isDevicePath(name))
        return QFileInfo::exists(name); // a link to a device that went is not
    const std::optional<qint16> number = portNumberOfName(name);
    return number && QFileInfo::exists(deviceForPortNumber(*number));
}

} // namespace

bool isPortPattern(const QString &name)
{
    return name.contains(u'*') || name.contains(u'?') || name.contains(u'[');
}

QList<PortPlan> portsPresent(const QList<PortPlan> &plans)
{
    QList<PortPlan> present;
    for (const PortPlan &plan : plans) {
        if (!isPortPattern(plan.port)) {
            if (isPresent(plan.port))
                present.append(plan);
            continue;
        }
        const QFileInfo pattern(plan.port);
        const QDir folder = pattern.dir();
        for (const QString &name :
             folder.entryList({pattern.fileName()},
                              QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name)) {
            const QString path = folder.filePath(name);
            if (QFileInfo::exists(path))
                present.append({path, plan.addresses});
        }
    }
    return present;
}
