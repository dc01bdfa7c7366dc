#pragma once

#include <QFile>
#include <QTemporaryDir>

// Writes a file for a test into dir and gives its path; a file that cannot be
// written ends the run, as no test could mean anything after it.
inline QString writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &content)
{
    QFile file(dir.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        qFatal("cannot write %s", qPrintable(file.fileName()));
    return file.fileName();
}
