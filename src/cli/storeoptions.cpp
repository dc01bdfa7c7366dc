#include "cli/optionsources.h"
#include "cli/requestoptions.h"

#include <QCommandLineParser>

// --create-store: the store's tables made, and nothing else.
std::variant<CliOptions, QString> createStoreOptions(const QCommandLineParser &parser,
                                                     CliOptions options)
{
    options.request = CliOptions::Request::CreateStore;
    if (const QString error = readStoreOptions(parser, options); !error.isEmpty())
        return error;
    if (options.log.kind == StoreAddress::Kind::None)
        return QStringLiteral("--create-store needs the store: give --log");
    return options;
}

// --import-unrecorded: the records that wait beside the store moved into it,
// and nothing else.
std::variant<CliOptions, QString> importOptions(const QCommandLineParser &parser,
                                                CliOptions options)
{
    options.request = CliOptions::Request::ImportUnrecorded;
    if (const QString error = readStoreOptions(parser, options); !error.isEmpty())
        return error;
    if (options.log.kind == StoreAddress::Kind::None)
        return QStringLiteral("--import-unrecorded needs a store to move the records into, and "
                              "--log none keeps none: give --log");
    return options;
}
