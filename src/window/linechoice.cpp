#include "window/linechoice.h"

#include "link/lineoptionstext.h"
#include "window/givenvalue.h"

#include <QCommandLineParser>
#include <QSettings>

namespace {

// --no-low-latency and --rs485 stand for low-latency=no and rs485=yes.
GivenValue givenAsOption(const QCommandLineParser &parser, const QString &key)
{
    if (key == QStringLiteral("low-latency"))
        return parser.isSet(QStringLiteral("no-low-latency"))
                   ? GivenValue{QStringLiteral("no"), QStringLiteral("--no-low-latency")}
                   : GivenValue{};
    if (key == QStringLiteral("rs485"))
        return parser.isSet(key) ? GivenValue{QStringLiteral("yes"), QStringLiteral("--rs485")}
                                 : GivenValue{};
    return givenOnCommandLine(parser, key);
}

} // namespace

QList<QCommandLineOption> lineChoiceOptions()
{
    return {
        {QStringLiteral("no-low-latency"),
         QStringLiteral("Leave a USB adapter's latency timer as it is instead of asking for low "
                        "latency.")},
        {QStringLiteral("rs485"),
         QStringLiteral("The kernel's RS-485 mode, for a built-in RS-485 UART.")},
        {QStringLiteral("rs485-delays"),
         QStringLiteral("With --rs485: RTS up so long before sending and down after, 0-1000 ms."),
         QStringLiteral("BEFORE,AFTER")},
        {QStringLiteral("before"),
         QStringLiteral("Modem lines once the port is open, such as reset or "
                        "-dtr,rts,wait:100,-rts."),
         QStringLiteral("SEQ")},
        {QStringLiteral("after"),
         QStringLiteral("Modem lines before the port closes, such as reset."),
         QStringLiteral("SEQ")},
    };
}

LineChoice lineChoice(const QStringList &arguments, const QSettings &settings)
{
    QCommandLineParser parser;
    parser.addOptions(lineChoiceOptions());
    parser.parse(arguments); // the pace options and Qt's own pass through

    LineOptionsReader reader;
    LineChoice choice;
    for (const QString &key : LineOptionsReader::keys()) {
        // The settings file first, so that the command line overrides it.
        for (const GivenValue &given :
             {givenInSettings(settings, key), givenAsOption(parser, key)}) {
            if (!given.isGiven())
                continue;
            if (const QString rule = reader.read(key, given.text); !rule.isEmpty())
                choice.ignored.append(
                    QStringLiteral("Ignored %1: %2 takes %3.").arg(given.where, key, rule));
        }
    }
    if (const QString unused = reader.unusedDelays(); !unused.isEmpty())
        choice.ignored.append(QStringLiteral("Ignored the RS-485 delays: %1.").arg(unused));
    choice.options = reader.options();
    return choice;
}
