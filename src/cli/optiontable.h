#pragma once

#include <QFlags>
#include <QList>
#include <QString>
#include <QStringList>

class QCommandLineParser;

// What bootline-cli can be asked to do. Each request takes its own options
// and no other: the refusals, --help and the settings keys of --config all
// come from the table below, so that they cannot drift apart.
enum class CliRequest : unsigned {
    Run = 1 << 0,         // a run of boards: FILE on the ports and addresses given
    Station = 1 << 1,     // --watch: each board as it comes, until Ctrl-C
    RerunFailed = 1 << 2, // the boards of a run that were not done
    History = 1 << 3,
    CreateStore = 1 << 4,
    ImportUnrecorded = 1 << 5,
    Info = 1 << 6,
    ListPorts = 1 << 7,
};
Q_DECLARE_FLAGS(CliRequests, CliRequest)
Q_DECLARE_OPERATORS_FOR_FLAGS(CliRequests)

// Where an option stands in --help.
enum class HelpSection { Run, Line, Station, RerunFailed, Records, History, Info, General };

struct CliOption {
    QStringList names; // the short name first, where there is one
    QString valueName; // empty: a switch
    QString help;
    HelpSection section;
    CliRequests takenBy;
    // The settings-file key of the same meaning, and the requests that read it.
    QString settingsKey;
    CliRequests settingsReadBy;

    QString longName() const { return names.last(); }
};

struct CliRequestKind {
    CliRequest request;
    QString option; // the option that asks for it; empty for a run of boards
    QString name;   // as a sentence names it: "a run of boards", "--history"
    QString usage;
    QString doesOnly;   // what a request that takes no file does, and nothing else
    QString becauseNot; // said after a refusal where it helps: why not here
};

const QList<CliOption> &cliOptions();
const QList<CliRequestKind> &cliRequestKinds();
const CliRequestKind &requestKind(CliRequest request);

// The requests that read the settings file.
inline constexpr CliRequests RunsOfBoards{CliRequest::Run, CliRequest::Station,
                                          CliRequest::RerunFailed};

// Every option of the table, for the parser; -h and -v as Qt gives them.
void addCliOptions(QCommandLineParser &parser);

// "a run of boards, a station or --rerun-failed".
QString requestNames(CliRequests requests);

// The settings keys the request reads, in the table's order.
QStringList settingsKeysOf(CliRequest request);
