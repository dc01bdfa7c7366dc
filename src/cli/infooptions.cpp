#include "cli/optionsources.h"
#include "cli/requestoptions.h"

#include "image/firmwarefile.h"

#include <QCommandLineParser>

// --base: a raw binary file's address.
QString readBase(const QCommandLineParser &parser, CliOptions &options)
{
    if (!parser.isSet(option("base")))
        return {};
    const QString text = parser.value(option("base"));
    options.base = FirmwareFile::parseAddress(text);
    if (!options.base)
        return QStringLiteral("--base takes an address from 0 to 0xFFFFFFFF, as 0x and hex "
                              "digits or in decimal, not \"%1\"")
            .arg(text);
    return {};
}

// --info: the file alone; no port is opened.
std::variant<CliOptions, QString> infoOptions(const QCommandLineParser &parser, CliOptions options)
{
    options.request = CliOptions::Request::Info;
    const QStringList files = parser.positionalArguments();
    if (files.size() != 1)
        return QStringLiteral("--info needs one firmware file, not %1").arg(files.size());
    options.file = files.first();
    options.json = parser.isSet(option("json"));
    if (const QString error = readBase(parser, options); !error.isEmpty())
        return error;
    return options;
}
