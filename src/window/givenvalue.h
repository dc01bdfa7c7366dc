#pragma once

#include <QString>

class QCommandLineParser;
class QSettings;

// One value of the window's settings, as the settings file or the command
// line gives it, and where it was given, for a message that names it.
struct GivenValue {
    QString text;
    QString where; // empty: not given

    bool isGiven() const { return !where.isEmpty(); }
};

// key=text in the settings file.
GivenValue givenInSettings(const QSettings &settings, const QString &key);
// --key text on the command line.
GivenValue givenOnCommandLine(const QCommandLineParser &parser, const QString &key);
