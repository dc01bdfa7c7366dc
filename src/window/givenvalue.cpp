#include "window/givenvalue.h"

#include "shared/settingsfile.h"

#include <QCommandLineParser>
#include <QSettings>

GivenValue givenInSettings(const QSettings &settings, const QString &key)
{
    if (!settings.contains(key))
        return {};
    const QString text = settingText(settings, key);
    return {text, QStringLiteral("%1=%2 in %3").arg(key, text, settings.fileName())};
}

GivenValue givenOnCommandLine(const QCommandLineParser &parser, const QString &key)
{
    if (!parser.isSet(key))
        return {};
    return {parser.value(key),
            QStringLiteral("--%1 %2 on the command line").arg(key, parser.value(key))};
}
