#include "cli/optiontable.h"

#include <QCommandLineParser>

#include <algorithm>

const QList<CliRequestKind> &cliRequestKinds()
{
    static const QList<CliRequestKind> kinds{
        {CliRequest::Run, {}, "a run of boards", "bootline-cli [options] FILE", {}, {}},
        {CliRequest::Station,
         "watch",
         "a station (--watch)",
         "bootline-cli --watch -p PORTS [options] FILE",
         {},
         {}},
        {CliRequest::RerunFailed,
         "rerun-failed",
         "--rerun-failed",
         "bootline-cli --rerun-failed ID [options] [FILE]",
         {},
         "the run's records say which boards"},
        {CliRequest::History,
         "history",
         "--history",
         "bootline-cli --history [options]",
         "prints the records",
         {}},
        {CliRequest::CreateStore,
         "create-store",
         "--create-store",
         "bootline-cli --create-store --log STORE",
         "makes the store's tables",
         {}},
        {CliRequest::ImportUnrecorded,
         "import-unrecorded",
         "--import-unrecorded",
         "bootline-cli --import-unrecorded [--log STORE]",
         "moves the records that wait into the store",
         {}},
        {CliRequest::Info, "info", "--info", "bootline-cli --info [--json] FILE", {}, {}},
        {CliRequest::ListPorts,
         "list-ports",
         "--list-ports",
         "bootline-cli --list-ports",
         "lists the serial ports",
         {}},
    };
    return kinds;
}

const CliRequestKind &requestKind(CliRequest request)
{
    const QList<CliRequestKind> &kinds = cliRequestKinds();
    return *std::find_if(kinds.begin(), kinds.end(),
                         [request](const CliRequestKind &kind) { return kind.request == request; });
}

void addCliOptions(QCommandLineParser &parser)
{
    for (const CliOption &option : cliOptions())
        parser.addOption(QCommandLineOption(option.names, option.help, option.valueName));
    parser.addHelpOption();
    parser.addVersionOption();
}

QString requestNames(CliRequests requests)
{
    QStringList names;
    for (const CliRequestKind &kind : cliRequestKinds()) {
        if (requests.testFlag(kind.request))
            names << kind.name;
    }
    if (names.size() < 2)
        return names.value(0);
    const QString last = names.takeLast();
    return names.join(QStringLiteral(", ")) + QStringLiteral(" or ") + last;
}

QStringList settingsKeysOf(CliRequest request)
{
    QStringList keys;
    for (const CliOption &option : cliOptions()) {
        if (option.settingsReadBy.testFlag(request))
            keys << option.settingsKey;
    }
    return keys;
}
