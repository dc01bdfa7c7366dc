#include "cli/portplans.h"

#include "cli/optionsources.h"
#include "line/portwatch.h"
#include "link/networkaddress.h"
#include "link/porttarget.h"
#include "shared/numberranges.h"

#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

namespace {

constexpr int HighestPortNumber = 32767; // the engine keeps port numbers in 16 bits

bool beginsPort(const QString &text)
{
    return text.startsWith(u'/') || text.startsWith(QStringLiteral("COM")) ||
           isNetworkPortName(text);
}

// Where a port's own address list begins, at its "@"; -1: none. A name that
// is there as it stands (/dev/serial/by-path/…@5) is a port, "@" and all;
// otherwise the list follows the last "@", as a device name may hold one.
qsizetype addressListAt(const QString &item)
{
    const qsizetype at = item.lastIndexOf(u'@');
    // A network port's list never holds a ':'; an "@" before HOST:PORT is a
    // user's, which the name check refuses without showing it.
    if (isNetworkPortName(item))
        return at >= 0 && !item.mid(at).contains(u':') ? at : -1;
    const QFileInfo whole(item);
    if (whole.exists() || whole.isSymLink())
        return -1;
    return at;
}

} // namespace

// COM<n> in digits, a device path or a network port. The window reads any
// other name as COM and a number from its fourth character ("ACM3" and "usb3"
// are COM3 there, "COM3.5" is COM4): a script that meant another device must
// not flash that one.
QString checkPortName(const QString &name)
{
    static const QRegularExpression comDigits(QStringLiteral("^COM([0-9]+)$"));
    const auto target = portTargetOfName(name);
    if (const auto *known = std::get_if<PortTarget>(&target);
        known && known->kind != PortTarget::Kind::Number)
        return {};
    if (isNetworkPortName(name))
        return QStringLiteral("--port: %1").arg(std::get<QString>(target));
    const QRegularExpressionMatch match = comDigits.match(name);
    bool ok = false;
    const int number = match.hasMatch() ? match.captured(1).toInt(&ok) : 0;
    if (ok && number >= 1 && number <= HighestPortNumber)
        return {};
    return QStringLiteral("--port takes %1, with n in digits from 1 to %2 and a path that begins "
                          "with /; not \"%3\"")
        .arg(portNameForms())
        .arg(HighestPortNumber)
        .arg(name);
}

// The address box text for each board.
std::variant<QStringList, QString> addressTexts(const QString &list)
{
    const QString text = list.trimmed();
    if (text == QStringLiteral("scan"))
        return QStringList{QString()};
    if (text == QStringLiteral("0"))
        return QStringList{text};
    const QString refusal = QStringLiteral("--address takes scan, 0, or addresses 1 to %1 each "
                                           "once, such as 1,3,5-8; not \"%2\"")
                                .arg(HighestAddress)
                                .arg(list);
    const std::optional<QList<NumberRange>> ranges = parseNumberRanges(text);
    if (!ranges)
        return refusal;
    QStringList addresses;
    for (const NumberRange &range : *ranges) {
        for (int address = range.first; address <= range.last; ++address) {
            if (address > HighestAddress || addresses.contains(QString::number(address)))
                return refusal;
            addresses.append(QString::number(address));
        }
    }
    return addresses;
}

// The ports of "-p A,B@1-4,C@2,5": an item that is not a port name goes on the
// address list of the port before it, which must have begun one with "@".
// Ports without a list of their own take the -a list.
std::variant<QList<PortPlan>, QString> portPlans(const QString &text,
                                                 const QStringList &commonAddresses, bool watch)
{
    QList<PortPlan> plans;
    QStringList lists; // each port's own address list text; null: none
    for (const QString &item : text.split(u',')) {
        const QString trimmed = item.trimmed();
        if (!beginsPort(trimmed) && !plans.isEmpty() && !lists.last().isNull()) {
            lists.last() += u',' + trimmed;
            continue;
        }
        const qsizetype at = addressListAt(trimmed);
        const QString port = trimmed.left(at);
        if (const QString error = checkPortName(port); !error.isEmpty())
            return error;
        if (isPortPattern(port) && !watch)
            return QStringLiteral("--port %1 is a pattern: patterns are taken with --watch, "
                                  "which flashes each port that matches as it appears")
                .arg(port);
        if (std::any_of(plans.begin(), plans.end(),
                        [&port](const PortPlan &plan) { return plan.port == port; }))
            return QStringLiteral("--port names %1 twice: give each port once, with all of "
                                  "its addresses")
                .arg(port);
        if (const QString same = sameDeviceAs(plans, port); !same.isEmpty())
            return QStringLiteral("--port names one device twice, as %1 and as %2: give each "
                                  "port once, with all of its addresses")
                .arg(same, port);
        plans.append({port, commonAddresses});
        lists.append(at < 0 ? QString() : trimmed.mid(at + 1));
    }
    for (qsizetype index = 0; index < plans.size(); ++index) {
        if (lists[index].isNull())
            continue;
        const auto addresses = addressTexts(lists[index]);
        if (const QString *error = std::get_if<QString>(&addresses))
            return QStringLiteral("%1: %2").arg(plans[index].port, *error);
        plans[index].addresses = std::get<QStringList>(addresses);
    }
    return plans;
}
