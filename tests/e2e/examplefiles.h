#pragma once

#include "support/testpaths.h"

#include <QFile>
#include <QString>

// The example HEX files.
inline QString exampleFile(const QString &name)
{
    return TestPaths::exampleFile(name);
}

inline int linesIn(const QString &file)
{
    QFile hex(file);
    return hex.open(QIODevice::ReadOnly) ? int(hex.readAll().count('\n')) : -1;
}
