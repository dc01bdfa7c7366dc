#include "support/testpaths.h"

QString TestPaths::sourceDir()
{
    return QStringLiteral(BOOTLINE_SOURCE_DIR);
}

QString TestPaths::simulator()
{
    return QStringLiteral(BOOTLINE_SIMULATOR);
}

QString TestPaths::cli()
{
    return QStringLiteral(BOOTLINE_CLI);
}

QString TestPaths::window()
{
    return QStringLiteral(BOOTLINE_WINDOW);
}
