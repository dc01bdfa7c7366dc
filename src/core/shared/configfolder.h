#pragma once

#include <QDir>
#include <QString>

// Where a user sets Bootline up: ${XDG_CONFIG_HOME:-~/.config}/bootline.
inline QString bootlineConfigFolder()
{
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty())
        config = QDir::homePath() + QStringLiteral("/.config");
    return config + QStringLiteral("/bootline");
}
