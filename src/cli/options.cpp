#include "cli/options.h"

#include "cli/optionsources.h"
#include "cli/optiontable.h"
#include "cli/requestoptions.h"

#include <QCommandLineParser>
#include <QHash>

#include <optional>

namespace {

// The request the options ask for; two at once are a slip.
std::variant<CliRequest, QString> requestAsked(const QCommandLineParser &parser)
{
    std::optional<CliRequestKind> asked;
    for (const CliRequestKind &kind : cliRequestKinds()) {
        if (kind.option.isEmpty() || !parser.isSet(kind.option))
            continue;
        if (asked)
            return QStringLiteral("--%1 and --%2 are two requests: give one")
                .arg(asked->option, kind.option);
        asked = kind;
    }
    return asked ? asked->request : CliRequest::Run;
}

// Any option given that the request does not take, named with both.
QString optionNotTaken(const QCommandLineParser &parser, CliRequest request)
{
    const CliRequestKind &kind = requestKind(request);
    for (const CliOption &option : cliOptions()) {
        if (option.takenBy.testFlag(request) || !parser.isSet(option.longName()))
            continue;
        QString refusal = QStringLiteral("--%1 is for %2, not for %3")
                              .arg(option.longName(), requestNames(option.takenBy), kind.name);
        if (!kind.becauseNot.isEmpty() && option.takenBy.testFlag(CliRequest::Run))
            refusal += QStringLiteral(": ") + kind.becauseNot;
        return refusal;
    }
    if (!kind.doesOnly.isEmpty() && !parser.positionalArguments().isEmpty())
        return QStringLiteral("%1 %2 and does nothing else: leave out %3")
            .arg(kind.name, kind.doesOnly, parser.positionalArguments().first());
    return {};
}

} // namespace

std::variant<CliOptions, QString> parseCliOptions(const QStringList &arguments)
{
    QCommandLineParser parser;
    addCliOptions(parser);
    if (!parser.parse(arguments))
        return parser.errorText();
    CliOptions options;
    options.log = std::get<StoreAddress>(parseStoreAddress({})); // the default store
    if (parser.isSet(QStringLiteral("help"))) {
        options.request = CliOptions::Request::Help;
        return options;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        options.request = CliOptions::Request::Version;
        return options;
    }
    const auto asked = requestAsked(parser);
    if (const QString *error = std::get_if<QString>(&asked))
        return *error;
    const CliRequest request = std::get<CliRequest>(asked);
    if (const QString refusal = optionNotTaken(parser, request); !refusal.isEmpty())
        return refusal;
    switch (request) {
    case CliRequest::ListPorts:
        options.request = CliOptions::Request::ListPorts;
        return options;
    case CliRequest::History:
        return historyOptions(parser, options);
    case CliRequest::CreateStore:
        return createStoreOptions(parser, options);
    case CliRequest::ImportUnrecorded:
        return importOptions(parser, options);
    case CliRequest::Info:
        return infoOptions(parser, options);
    case CliRequest::Run:
    case CliRequest::Station:
    case CliRequest::RerunFailed:
        break;
    }
    return runOptions(parser, options);
}

std::optional<GivenArguments> givenArguments(const QStringList &arguments)
{
    QCommandLineParser parser;
    addCliOptions(parser);
    if (!parser.parse(arguments))
        return std::nullopt;
    const QHash<QString, QString> longNames{{option("p"), option("port")},
                                            {option("a"), option("address")},
                                            {option("h"), option("help")},
                                            {option("?"), option("help")},
                                            {option("v"), option("version")}};
    GivenArguments given{{}, parser.positionalArguments()};
    for (const QString &name : parser.optionNames()) {
        const QString longName = longNames.value(name, name);
        if (!given.options.contains(longName))
            given.options.append(longName);
    }
    return given;
}
