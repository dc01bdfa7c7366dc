#include "bootline-sim/console.h"

#include <cstdio>

void printLine(const QString &line)
{
    std::fputs(qPrintable(line + u'\n'), stdout);
    std::fflush(stdout);
}

void printError(const QString &message)
{
    std::fputs(qPrintable(QStringLiteral("bootline-sim: ") + message + u'\n'), stderr);
    std::fflush(stderr);
}
