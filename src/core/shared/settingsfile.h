#pragma once

#include "shared/configfolder.h"

#include <QSettings>
#include <QString>
#include <QStringList>

// The settings both faces read, an INI file in the config folder.
inline QString bootlineSettingsFile()
{
    return bootlineConfigFolder() + QStringLiteral("/bootline.conf");
}

// A value as the operator wrote it: an INI value with a comma reads as a
// list, but was written as one text.
inline QString settingText(const QSettings &settings, const QString &key)
{
    return settings.value(key).toStringList().join(u',');
}
