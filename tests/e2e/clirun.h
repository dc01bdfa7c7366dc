#pragma once

#include "support/testpaths.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>

// One run of bootline-cli to its end.
struct Cli {
    int exitCode = -1;
    QString out;
    QString err;

    explicit Cli(const QStringList &arguments, int ms = 30000)
    {
        QProcess process;
        process.start(TestPaths::cli(), arguments);
        if (!process.waitForFinished(ms)) {
            process.kill();
            process.waitForFinished();
        }
        exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        out = QString::fromUtf8(process.readAllStandardOutput());
        err = QString::fromUtf8(process.readAllStandardError());
    }
    QString all() const { return out + err; }
};

inline QList<QJsonObject> jsonLines(const QString &text)
{
    QList<QJsonObject> objects;
    for (const QString &line : text.split(u'\n', Qt::SkipEmptyParts))
        objects << QJsonDocument::fromJson(line.toUtf8()).object();
    return objects;
}
