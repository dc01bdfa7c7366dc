#pragma once

#include "link/lineoptions.h"

#include <QCommandLineOption>
#include <QList>
#include <QString>
#include <QStringList>

class QSettings;

// How the window sets up a local port: the settings file's low-latency,
// rs485, rs485-delays, before and after lines, and the command line's
// options of the same names (--no-low-latency and --rs485 as switches),
// which win. A value that is off is left out and named in ignored, as a bad
// pace is: the window opens all the same.
struct LineChoice {
    LineOptions options;
    QStringList ignored; // one sentence per value left out
};

LineChoice lineChoice(const QStringList &arguments, const QSettings &settings);

// The command line's, for the parser and for --help.
QList<QCommandLineOption> lineChoiceOptions();
