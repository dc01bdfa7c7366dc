#pragma once

#include "cli/options.h"

#include <QString>
#include <QStringList>
#include <variant>

// bootline-station's command line: the options of bootline-cli --watch
// that a station takes, with the same meaning and the same settings file.
// Any other option is refused by name.
std::variant<CliOptions, QString> parseStationOptions(const QStringList &arguments);

// Whether the arguments name a firmware file; without one the window asks.
bool namesFirmwareFile(const QStringList &arguments);

QString stationHelpText();
