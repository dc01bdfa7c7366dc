#pragma once

#include "line/runoptions.h"
#include "record/recordstore.h"
#include "record/storeaddress.h"

#include <QMap>
#include <QString>
#include <QStringList>
#include <optional>
#include <variant>

// What the command line asks bootline-cli to do: a run of the production
// line, with what the terminal face adds.
struct CliOptions : RunOptions {
    enum class Request {
        Run,
        Help,
        Version,
        ListPorts,
        History,
        Info,
        CreateStore,
        ImportUnrecorded
    };
    Request request = Request::Run;

    QString tracePath; // "-": standard error; empty: no trace; never the firmware file
    bool json = false;
    bool watch = false;    // a station: flash each board as it comes, until a signal
    HistoryFilter history; // --history: which records
    // --history: a form other than a line a record
    bool csv = false;     // every field, as CSV for a spreadsheet
    bool summary = false; // boards, first-pass yield and job times
    QString summaryBy;    // --by: day, port, file or tag.KEY; empty: one group
    QStringList warnings; // said before anything is done, such as a password in --log
};

// The options, or what is wrong with them in words for the user.
std::variant<CliOptions, QString> parseCliOptions(const QStringList &arguments);

// What the arguments give, as the options read them: each option once by
// its long name, and the files. Nothing when they do not parse.
struct GivenArguments {
    QStringList options;
    QStringList files;
};
std::optional<GivenArguments> givenArguments(const QStringList &arguments);
