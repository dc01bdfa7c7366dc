#include "line/portwatch.h"

#include "link/networkaddress.h"
#include "link/portname.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <optional>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#else
#include <QSerialPortInfo>
#endif

namespace {

// What two names of one port have in common where the port is its name.
QString portKey(const QString &name)
{
    static const QRegularExpression com(QStringLiteral("^COM0*([0-9]+)$"),
                                        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = com.match(name);
    return match.hasMatch() ? QStringLiteral("COM") + match.captured(1) : name.toUpper();
}

} // namespace

QList<PortPlan> portsAmongNames(const QList<PortPlan> &plans, QStringList listed)
{
    std::sort(listed.begin(), listed.end(), [](const QString &one, const QString &other) {
        return one.size() != other.size() ? one.size() < other.size()
                                          : one.compare(other, Qt::CaseInsensitive) < 0;
    });
    QStringList listedKeys;
    for (const QString &name : listed)
        listedKeys.append(portKey(name));
    QList<PortPlan> present;
    QStringList taken;
    const auto add = [&](const QString &name, const QString &key, const QStringList &addresses) {
        if (taken.contains(key))
            return;
        taken.append(key);
        present.append({name, addresses});
    };
    for (const PortPlan &plan : plans) {
        if (isNetworkPortName(plan.port)) {
            add(plan.port, plan.port, plan.addresses);
        } else if (isPortPattern(plan.port)) {
            const QRegularExpression pattern(
                QRegularExpression::wildcardToRegularExpression(plan.port),
                QRegularExpression::CaseInsensitiveOption);
            for (qsizetype index = 0; index < listed.size(); ++index) {
                if (pattern.match(listed[index]).hasMatch())
                    add(listed[index], listedKeys[index], plan.addresses);
            }
        } else if (const QString key = portKey(plan.port); listedKeys.contains(key)) {
            add(plan.port, key, plan.addresses);
        }
    }
    return present;
}

bool isPortPattern(const QString &name)
{
    return !isNetworkPortName(name) &&
           (name.contains(u'*') || name.contains(u'?') || name.contains(u'['));
}

#ifdef Q_OS_UNIX

namespace {

// Where the name leads: the device itself, links followed; empty when it is
// not there. A network port is its own name: whether its server is there
// shows when it is opened.
QString deviceOf(const QString &name)
{
    if (isNetworkPortName(name))
        return name;
    if (isDevicePath(name))
        return QFileInfo(name).canonicalFilePath();
    const std::optional<qint16> number = portNumberOfName(name);
    return number ? QFileInfo(deviceForPortNumber(*number)).canonicalFilePath() : QString();
}

// A character device a station may open; links followed.
bool isSerialDevice(const QString &path)
{
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0 || !S_ISCHR(status.st_mode))
        return false;
    static const QList<dev_t> own = ownTerminals();
    return isStationPort(status.st_rdev, own);
}

// tty_nr, the seventh field of /proc/self/stat, after the command name in
// brackets, which may itself hold blanks and brackets.
std::optional<dev_t> controllingTerminal()
{
    QFile stat(QStringLiteral("/proc/self/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 1).simplified().split(' ');
    bool ok = false;
    const unsigned number = fields.size() > 4 ? fields[4].toUInt(&ok) : 0;
    if (!ok || number == 0)
        return std::nullopt;
    return makedev((number >> 8) & 0xff, (number & 0xff) | ((number >> 12) & 0xfff00));
}

// The index of a pty's slave, N in /dev/pts/N; none for any other device.
std::optional<int> ptyIndex(dev_t device)
{
    constexpr unsigned FirstPtsMajor = 136, LastPtsMajor = 143;
    if (major(device) < FirstPtsMajor || major(device) > LastPtsMajor)
        return std::nullopt;
    return int((major(device) - FirstPtsMajor) * 256 + minor(device));
}

// Whether the process holds the master of the pty numbered index: its
// /proc fdinfo of a ptmx says "tty-index:".
bool holdsPtyMaster(const QString &fdFolder, const QStringList &fds, int index)
{
    const QByteArray wanted = "tty-index:\t" + QByteArray::number(index);
    for (const QString &fd : fds) {
        struct stat status {};
        const QByteArray path = QFile::encodeName(fdFolder + u'/' + fd);
        if (::stat(path.constData(), &status) != 0 || status.st_rdev != makedev(5, 2))
            continue;
        QFile info(QString(fdFolder).replace(QStringLiteral("/fd"), QStringLiteral("/fdinfo")) +
                   u'/' + fd);
        if (info.open(QIODevice::ReadOnly) && info.readAll().split('\n').contains(wanted))
            return true;
    }
    return false;
}

} // namespace

bool isStationPort(dev_t device, const QList<dev_t> &ownTerminals)
{
    constexpr unsigned TtyMajor = 4;    // tty0 to tty63 below minor 64, then serial ports
    constexpr unsigned TtyAuxMajor = 5; // /dev/tty, /dev/console, /dev/ptmx
    constexpr unsigned VirtualConsoles = 64;
    if (major(device) == TtyAuxMajor && minor(device) <= 2)
        return false;
    if (major(device) == TtyMajor && minor(device) < VirtualConsoles)
        return false;
    return !ownTerminals.contains(device);
}

QList<dev_t> ownTerminals()
{
    QList<dev_t> terminals;
    for (const int stream : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        struct stat status {};
        if (::isatty(stream) == 1 && ::fstat(stream, &status) == 0 &&
            !terminals.contains(status.st_rdev))
            terminals.append(status.st_rdev);
    }
    if (const std::optional<dev_t> controlling = controllingTerminal();
        controlling && !terminals.contains(*controlling))
        terminals.append(*controlling);
    return terminals;
}

bool isPortPresent(const QString &name)
{
    return !deviceOf(name).isEmpty(); // a link to a device that went is not
}

QList<PortPlan> portsPresent(const QList<PortPlan> &plans)
{
    QList<PortPlan> present;
    QStringList devices;
    const auto add = [&](const QString &name, const QStringList &addresses) {
        const QString device = deviceOf(name);
        if (device.isEmpty() || devices.contains(device) ||
            !(isNetworkPortName(name) || isSerialDevice(device)))
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
            add(folder.filePath(name), plan.addresses);
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

bool heldByAnotherProgram(const QString &name)
{
    struct stat device {};
    if (::stat(QFile::encodeName(deviceOf(name)).constData(), &device) != 0 ||
        !S_ISCHR(device.st_mode))
        return false;
    const std::optional<int> pty = ptyIndex(device.st_rdev);
    const QString self = QString::number(::getpid());
    const QDir proc(QStringLiteral("/proc"));
    for (const QString &pid : proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (pid == self || !pid.front().isDigit())
            continue;
        const QString fdFolder = proc.filePath(pid + QStringLiteral("/fd"));
        const QStringList fds =
            QDir(fdFolder).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
        const bool holds = std::any_of(fds.begin(), fds.end(), [&](const QString &fd) {
            struct stat status {};
            const QByteArray path = QFile::encodeName(fdFolder + u'/' + fd);
            return ::stat(path.constData(), &status) == 0 && S_ISCHR(status.st_mode) &&
                   status.st_rdev == device.st_rdev;
        });
        if (holds && !(pty && holdsPtyMaster(fdFolder, fds, *pty)))
            return true;
    }
    return false;
}

#else

namespace {

QStringList listedPortNames()
{
    QStringList names;
    for (const QSerialPortInfo &port : QSerialPortInfo::availablePorts())
        names.append(port.portName());
    return names;
}

} // namespace

bool isPortPresent(const QString &name)
{
    return !portsAmongNames({{name, {}}}, listedPortNames()).isEmpty();
}

QList<PortPlan> portsPresent(const QList<PortPlan> &plans)
{
    return portsAmongNames(plans, listedPortNames());
}

// COM5 is COM05 whether it is plugged in or not.
QString sameDeviceAs(const QList<PortPlan> &plans, const QString &name)
{
    for (const PortPlan &plan : plans) {
        if (portKey(plan.port) == portKey(name))
            return plan.port;
    }
    return {};
}

bool heldByAnotherProgram(const QString &)
{
    return false;
}

#endif
