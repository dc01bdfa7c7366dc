#pragma once

#include "cli/options.h"

#include <QString>

#include <optional>

class QCommandLineParser;
class QSettings;

// Where an option's value comes from, and the checks every request shares.

constexpr int HighestAddress = 247; // the last one Modbus gives to a device

QString option(const char *name);

// An option's value: from the command line, else from the settings file.
struct Given {
    QString text;
    bool inSettings = false;
    bool isSet() const { return inSettings || !text.isNull(); }
};

class Sources {
public:
    Sources(const QCommandLineParser &parser, const QSettings *settings);

    Given given(const char *name) const;
    // What is wrong with a value, named where it was given.
    QString refusal(const char *name, const Given &given, const QString &rule) const;
    QString settingsFile() const;

private:
    const QCommandLineParser &m_parser;
    const QSettings *m_settings;
};

// Reads the value into target when it is given; says what is wrong with it, if anything.
QString readWholeNumber(const Sources &sources, const char *name, int lowest, int highest,
                        int &target);

// The settings file, where one is: the window's, or the one --config names.
QString openSettings(const QCommandLineParser &parser, std::optional<QSettings> &settings);

// The store, and how long a record may take to reach it.
QString readStoreOptions(const Sources &sources, CliOptions &options);
// The same, for a request that reads nothing else from the settings file.
QString readStoreOptions(const QCommandLineParser &parser, CliOptions &options);

// The --tag options over the tags there already, which they win over.
QString readCommandLineTags(const QCommandLineParser &parser, RecordTags &tags);
