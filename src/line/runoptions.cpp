#include "line/runoptions.h"

int RunOptions::attemptOf(const QString &port, const QString &address) const
{
    return attempts.value(boardKey(port, address), 1);
}

QString boardKey(const QString &port, const QString &address)
{
    return port + u'\n' + (address.isEmpty() ? QStringLiteral("scan") : address);
}
