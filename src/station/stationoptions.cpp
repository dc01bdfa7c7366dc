#include "station/stationoptions.h"

#include "cli/clihelp.h"
#include "cli/optiontable.h"

namespace {

// The window shows the jobs itself and asks no board for its version.
const QStringList NotInTheWindow{"json", "trace", "query", "set-address"};

// With the meaning they have for bootline-cli --watch.
QStringList stationOptionNames()
{
    QStringList names;
    for (const CliOption &option : cliOptions()) {
        if (option.takenBy.testFlag(CliRequest::Station) &&
            !NotInTheWindow.contains(option.longName()))
            names << option.longName();
    }
    return names;
}

} // namespace

std::variant<CliOptions, QString> parseStationOptions(const QStringList &arguments)
{
    const std::optional<GivenArguments> given = givenArguments(arguments);
    if (given) {
        for (const QString &name : given->options) {
            if (!stationOptionNames().contains(name) && name != QStringLiteral("help") &&
                name != QStringLiteral("version"))
                return QStringLiteral("--%1 is not a station's option: bootline-cli takes it")
                    .arg(name);
        }
    }
    QStringList asWatch = arguments;
    if (!given || !given->options.contains(QStringLiteral("watch")))
        asWatch.append(QStringLiteral("--watch"));
    return parseCliOptions(asWatch);
}

bool namesFirmwareFile(const QStringList &arguments)
{
    const std::optional<GivenArguments> given = givenArguments(arguments);
    return given && !given->files.isEmpty();
}

QString stationHelpText()
{
    QStringList shown{QStringLiteral("-p"), QStringLiteral("-a")};
    for (const QString &name : stationOptionNames()) {
        if (name != QStringLiteral("port") && name != QStringLiteral("address") &&
            name != QStringLiteral("watch"))
            shown << QStringLiteral("--") + name;
    }
    return QStringLiteral(
               "Usage: bootline-station [options] FILE\n"
               "A station window: flashes each board put on one of its fixture ports with FILE,\n"
               "and shows every fixture at a glance. Without FILE it asks for one.\n\n"
               "Takes the station options of bootline-cli --watch, with the same meaning and\n"
               "the same settings file (see bootline-cli --help):\n") +
           QStringLiteral("  ") + wrappedText(shown.join(QStringLiteral(", ")), 2);
}
