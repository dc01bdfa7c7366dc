#include "link/portname.h"

#include "shared/configfolder.h"
#include "shared/numericvalue.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <limits>

std::optional<qint16> portNumberOfName(const QString &portName)
{
    static const QRegularExpression number(
        QStringLiteral(R"(^[ \t]*[+-]?(\d+\.?\d*|\.\d+)([Ee][+-]?\d+)?[ \t]*$)"));
    const QString remainder = portName.mid(3);
    if (!number.match(remainder).hasMatch())
        return std::nullopt;
    const double value = wholeNumber(numericValue(remainder));
    if (!(value >= std::numeric_limits<qint16>::min() &&
          value <= std::numeric_limits<qint16>::max()))
        return std::nullopt;
    return qint16(value);
}

QString portAliasFolder()
{
    return bootlineConfigFolder() + QStringLiteral("/ports");
}

QString deviceForPortNumber(int portNumber)
{
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(portNumber);
#else
    QString alias = portAliasFolder() + QStringLiteral("/COM%1").arg(portNumber);
    const QFileInfo aliasInfo(alias);
    if (aliasInfo.exists() || aliasInfo.isSymLink()) // a dangling alias still names the port
        return alias;
    return QStringLiteral("/dev/ttyS%1").arg(portNumber - 1);
#endif
}
