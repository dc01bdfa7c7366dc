#include "station/stationoptions.h"

namespace {

// With the meaning they have for bootline-cli --watch.
const QStringList &stationOptionNames()
{
    static const QStringList names{
        "port",         "address",     "plain",          "pace",
        "gap",          "retries",     "reply-timeout",  "probe-attempts",
        "settle",       "log",         "store-timeout",  "config",
        "tag",          "ask",         "expect-sha256",  "install",
        "trace-dir",    "keep-traces", "no-low-latency", "rs485",
        "rs485-delays", "before",      "after",          "base",
        "watch",        "help",        "version"};
    return names;
}

} // namespace

std::variant<CliOptions, QString> parseStationOptions(const QStringList &arguments)
{
    const std::optional<GivenArguments> given = givenArguments(arguments);
    if (given) {
        for (const QString &name : given->options) {
            if (!stationOptionNames().contains(name))
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
    return QStringLiteral(
        "Usage: bootline-station [options] FILE\n"
        "A station window: flashes each board put on one of its fixture ports with FILE,\n"
        "and shows every fixture at a glance. Without FILE it asks for one.\n\n"
        "Takes the station options of bootline-cli --watch, with the same meaning and\n"
        "the same settings file (see bootline-cli --help):\n"
        "  -p, --port, -a, --address, --plain, --pace, --gap, --retries, --reply-timeout,\n"
        "  --probe-attempts, --settle, --log, --store-timeout, --config, --tag, --ask,\n"
        "  --expect-sha256, --install, --trace-dir, --keep-traces, --base,\n"
        "  --no-low-latency, --rs485, --rs485-delays, --before, --after\n");
}
