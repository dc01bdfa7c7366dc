#pragma once

#include "cli/options.h"

#include <variant>

class QCommandLineParser;

// The options of each request, read once the request is known and every
// option given is one it takes.

std::variant<CliOptions, QString> runOptions(const QCommandLineParser &parser, CliOptions options);
std::variant<CliOptions, QString> historyOptions(const QCommandLineParser &parser,
                                                 CliOptions options);
std::variant<CliOptions, QString> createStoreOptions(const QCommandLineParser &parser,
                                                     CliOptions options);
std::variant<CliOptions, QString> importOptions(const QCommandLineParser &parser,
                                                CliOptions options);
std::variant<CliOptions, QString> infoOptions(const QCommandLineParser &parser, CliOptions options);

// --base: a raw binary file's address.
QString readBase(const QCommandLineParser &parser, CliOptions &options);
