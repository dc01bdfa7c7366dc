#include "bootline-sim/options.h"

#include "bootline-sim/board.h"
#include "bootline-sim/console.h"
#include "window/portname.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void refuse(const QString &message)
{
    printError(message + QStringLiteral(" (see --help)"));
    std::exit(1);
}

int wholeNumber(const QCommandLineParser &parser, const QString &name, int lowest, int highest)
{
    bool ok = false;
    const int value = parser.value(name).toInt(&ok);
    if (!ok || value < lowest || value > highest)
        refuse(QStringLiteral("--%1 takes a whole number from %2 to %3, not \"%4\"")
                   .arg(name)
                   .arg(lowest)
                   .arg(highest)
                   .arg(parser.value(name)));
    return value;
}

ReplySelection selection(const QCommandLineParser &parser, const QString &name)
{
    if (!parser.isSet(name))
        return {};
    const std::optional<ReplySelection> parsed = ReplySelection::parse(parser.value(name));
    if (!parsed)
        refuse(QStringLiteral("--%1 takes reply numbers such as 1,4,7-9, or all; not \"%2\"")
                   .arg(name, parser.value(name)));
    return *parsed;
}

int portNumber(const QCommandLineParser &parser)
{
    if (parser.isSet(QStringLiteral("port")) && parser.isSet(QStringLiteral("com")))
        refuse(QStringLiteral("give --port or --com, not both"));
    if (parser.isSet(QStringLiteral("com")))
        return wholeNumber(parser, QStringLiteral("com"), 1, 32767);
    if (!parser.isSet(QStringLiteral("port")))
        return 3;
    const QString name = parser.value(QStringLiteral("port"));
    const std::optional<qint16> number = portNumberOfName(name);
    if (!name.startsWith(QStringLiteral("COM")) || !number || *number < 1)
        refuse(QStringLiteral("--port takes a name COM<n> with n from 1 up, not \"%1\"").arg(name));
    return *number;
}

} // namespace

Options parseOptions(const QCoreApplication &app)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Plays a board with its resident loader on a pseudo-terminal, registered "
                       "as the port COM<n> that Bootline opens."));
    const QCommandLineOption help = parser.addHelpOption();
    const QString list = QStringLiteral("list");
    parser.addOptions({
        {QStringLiteral("port"), QStringLiteral("Port name to register (default COM3)."),
         QStringLiteral("COM<n>")},
        {QStringLiteral("com"), QStringLiteral("Port number, the same as --port COM<n>."),
         QStringLiteral("n")},
        {QStringLiteral("plain"), QStringLiteral("Plain text lines instead of Modbus RTU frames.")},
        {QStringLiteral("address"), QStringLiteral("RTU address of the board, 1..247 (default 1)."),
         QStringLiteral("n"), QStringLiteral("1")},
        {QStringLiteral("version-text"),
         QStringLiteral("Answer to the probe (default \"VER=1.0 SIM\"; \"VER=\" is put in front "
                        "when missing)."),
         QStringLiteral("text"), QStringLiteral("VER=1.0 SIM")},
        {QStringLiteral("latency"), QStringLiteral("Delay before each reply (default 0)."),
         QStringLiteral("ms"), QStringLiteral("0")},
        {QStringLiteral("wire-pacing"),
         QStringLiteral("Delay each reply by the time its command and itself take on a 115200 "
                        "baud 8N1 wire.")},
        {QStringLiteral("split"),
         QStringLiteral("Send these replies in two halves (reply numbers from 1, such as 1,4,7-9, "
                        "or all)."),
         list},
        {QStringLiteral("split-gap"), QStringLiteral("Time between the halves (default 30)."),
         QStringLiteral("ms"), QStringLiteral("30")},
        {QStringLiteral("garbage"), QStringLiteral("Put stray bytes in front of these replies."),
         list},
        {QStringLiteral("bad-crc"),
         QStringLiteral("RTU: send a copy with a wrong checksum before these replies."), list},
        {QStringLiteral("silent"), QStringLiteral("Do not send these replies at all."), list},
        {QStringLiteral("exit-after-lines"),
         QStringLiteral("Exit on receiving the n-th download or verify line, without answering "
                        "it."),
         QStringLiteral("n")},
        {QStringLiteral("exit-on-mismatch"),
         QStringLiteral("Exit with status 2 if any verify line did not match.")},
        {QStringLiteral("quiet"), QStringLiteral("Print only the ready line and the summary.")},
    });
    if (!parser.parse(app.arguments()))
        refuse(parser.errorText());
    if (parser.isSet(help)) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        std::exit(0);
    }
    if (!parser.positionalArguments().isEmpty())
        refuse(
            QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().first()));

    Options options;
    options.portNumber = portNumber(parser);
    options.address =
        quint8(wholeNumber(parser, QStringLiteral("address"), 1, Board::HighestAddress));
    options.versionText = parser.value(QStringLiteral("version-text")).toUtf8();
    options.exitOnMismatch = parser.isSet(QStringLiteral("exit-on-mismatch"));
    options.quiet = parser.isSet(QStringLiteral("quiet"));
    if (parser.isSet(QStringLiteral("exit-after-lines")))
        options.exitAfterLines =
            wholeNumber(parser, QStringLiteral("exit-after-lines"), 1, 1000000);

    ReplyStyle &replies = options.replies;
    replies.framing = parser.isSet(QStringLiteral("plain")) ? Framing::Plain : Framing::Rtu;
    replies.latencyMs = wholeNumber(parser, QStringLiteral("latency"), 0, 600000);
    replies.wirePacing = parser.isSet(QStringLiteral("wire-pacing"));
    replies.split = selection(parser, QStringLiteral("split"));
    replies.splitGapMs = wholeNumber(parser, QStringLiteral("split-gap"), 0, 600000);
    replies.garbage = selection(parser, QStringLiteral("garbage"));
    replies.badCrc = selection(parser, QStringLiteral("bad-crc"));
    replies.silent = selection(parser, QStringLiteral("silent"));
    if (replies.framing == Framing::Plain && parser.isSet(QStringLiteral("bad-crc")))
        printError(QStringLiteral("--bad-crc has no checksum to spoil with --plain; ignored"));
    return options;
}
