#pragma once

#include <QFile>
#include <QString>

// The example HEX files.
inline QString exampleFile(const QString &name)
{
    return QStringLiteral(BOOTLINE_SOURCE_DIR "/examples/") + name;
}

inline int linesIn(const QString &file)
{
    QFile hex(file);
    return hex.open(QIODevice::ReadOnly) ? int(hex.readAll().count('\n')) : -1;
}
