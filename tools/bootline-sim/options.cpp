#include "bootline-sim/options.h"

#include "bootline-sim/board.h"
#include "bootline-sim/bus.h"
#include "bootline-sim/console.h"
#include "link/portname.h"
#include "shared/readable.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QRegularExpression>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>

namespace {

// More than this might not fit in the pty at once while the host is slow to read.
constexpr int LongestGarbageRun = 16384;

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
        refuse(QStringLiteral("--%1 takes reply numbers such as 1,4,7-9, all, or random:P with P "
                              "a percentage from 0 to 100; not \"%2\"")
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

QList<quint8> addresses(const QCommandLineParser &parser, Framing framing)
{
    const QString text = parser.value(QStringLiteral("address"));
    const std::optional<QList<quint8>> parsed = Bus::parseAddresses(text);
    if (!parsed)
        refuse(QStringLiteral("--address takes addresses from 1 to %1 such as 1 or 1,3,5-8, each "
                              "once; not \"%2\"")
                   .arg(Board::HighestAddress)
                   .arg(text));
    if (framing == Framing::Plain && parsed->size() > 1)
        refuse(QStringLiteral("plain text lines carry no address, so the boards at %1 would all "
                              "answer each line; give one address with --plain, or drop --plain")
                   .arg(text));
    return *parsed;
}

quint32 seed(const QCommandLineParser &parser)
{
    bool ok = false;
    const quint32 value = parser.value(QStringLiteral("seed")).toUInt(&ok);
    if (!ok)
        refuse(QStringLiteral("--seed takes a whole number from 0 to 4294967295, not \"%1\"")
                   .arg(parser.value(QStringLiteral("seed"))));
    return value;
}

void splitPoint(const QCommandLineParser &parser, ReplyStyle &replies)
{
    const QString name = QStringLiteral("split-at");
    if (!parser.isSet(name))
        return;
    if (parser.value(name) == QStringLiteral("random")) {
        replies.splitPoint = SplitPoint::Random;
        return;
    }
    bool ok = false;
    const int after = parser.value(name).toInt(&ok);
    if (!ok || after < 1)
        refuse(QStringLiteral("--split-at takes a byte count from 1 up, or random; not \"%1\"")
                   .arg(parser.value(name)));
    replies.splitPoint = SplitPoint::After;
    replies.splitAfter = after;
}

QByteArray hexBytes(const QCommandLineParser &parser, const QString &name)
{
    static const QRegularExpression hex(QStringLiteral("^([0-9A-Fa-f]{2})+$"));
    const QString text = parser.value(name);
    if (!hex.match(text).hasMatch())
        refuse(QStringLiteral("--%1 takes one or more bytes in hex, two digits each, such as 00 "
                              "or 0DFF; not \"%2\"")
                   .arg(name, text));
    return QByteArray::fromHex(text.toLatin1());
}

QByteArray strayText(const QCommandLineParser &parser)
{
    const QString text = parser.value(QStringLiteral("stray-text"));
    // The stray must read as one whole reply, as a board's copy would.
    if (text.isEmpty() || text.contains(u'\r') || text.contains(u'\n'))
        refuse(QStringLiteral("--stray-text takes the text of one reply, not empty and without CR "
                              "or LF; not \"%1\"")
                   .arg(readable(text.toUtf8())));
    return text.toUtf8();
}

void boardFaults(const QCommandLineParser &parser, BoardFaults &faults)
{
    if (parser.isSet(QStringLiteral("twin")))
        faults.twinGapMs = wholeNumber(parser, QStringLiteral("twin"), 0, 600000);
    if (parser.isSet(QStringLiteral("restart-at-line")))
        faults.restartAtLine = wholeNumber(parser, QStringLiteral("restart-at-line"), 1, 1000000);
    if (parser.isSet(QStringLiteral("miswrite")))
        faults.miswrittenLine = wholeNumber(parser, QStringLiteral("miswrite"), 1, 1000000);
    if (!parser.isSet(QStringLiteral("twin-miswrite")))
        return;
    if (!faults.twinGapMs)
        refuse(QStringLiteral("--twin-miswrite needs --twin: without it there is no twin to "
                              "miswrite"));
    faults.twinMiswrittenLine = wholeNumber(parser, QStringLiteral("twin-miswrite"), 1, 1000000);
}

// --miswrite-at: boards of the bus, so that the test gets the fault it asked for.
QList<quint8> miswritingBoards(const QCommandLineParser &parser, const QList<quint8> &onTheBus)
{
    const QString name = QStringLiteral("miswrite-at");
    if (!parser.isSet(name))
        return {};
    const QString text = parser.value(name);
    const std::optional<QList<quint8>> parsed = Bus::parseAddresses(text);
    const bool allOnTheBus =
        parsed && std::all_of(parsed->begin(), parsed->end(),
                              [&onTheBus](quint8 address) { return onTheBus.contains(address); });
    if (!allOnTheBus)
        refuse(QStringLiteral("--miswrite-at takes addresses of boards on the bus (--address), "
                              "such as 2 or 2,4; not \"%1\"")
                   .arg(text));
    return *parsed;
}

} // namespace

Options parseOptions(const QCoreApplication &app)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Plays boards with their resident loader on a pseudo-terminal, registered as the port "
        "COM<n> that Bootline opens.\n"
        "A list picks replies by number, counted from 1 over all replies on the line: all, "
        "numbers and ranges such as 1,4,7-9, or random:P for each reply with a chance of P "
        "percent (such as 5 or 0.05; repeatable with --seed).\n"
        "SIGUSR1 takes the boards off the line, as an operator swapping them would (the port "
        "stays, nothing answers), and the next puts them back."));
    const QCommandLineOption help = parser.addHelpOption();
    const QString list = QStringLiteral("list");
    const QString ms = QStringLiteral("ms");
    parser.addOptions({
        {QStringLiteral("port"), QStringLiteral("Port name to register (default COM3)."),
         QStringLiteral("COM<n>")},
        {QStringLiteral("com"), QStringLiteral("Port number, the same as --port COM<n>."),
         QStringLiteral("n")},
        {QStringLiteral("plain"),
         QStringLiteral("Plain text lines instead of Modbus RTU frames (one board only, and "
                        "its --twin).")},
        {QStringLiteral("address"),
         QStringLiteral("RTU addresses 1..247, one board each, such as 1,3,5-8 (default 1)."),
         QStringLiteral("addresses"), QStringLiteral("1")},
        {QStringLiteral("version-text"),
         QStringLiteral("Answer to the probe (default \"VER=1.0 SIM\"; \"VER=\" is put in front "
                        "when missing)."),
         QStringLiteral("text"), QStringLiteral("VER=1.0 SIM")},
        {QStringLiteral("ok-to-commands"),
         QStringLiteral("Answer OK to BOOT$hh and BOOTg instead of ADDR=hh and RUN; the address "
                        "still changes and the firmware still starts.")},
        {QStringLiteral("latency"), QStringLiteral("Delay before each reply (default 0)."), ms,
         QStringLiteral("0")},
        {QStringLiteral("wire-pacing"),
         QStringLiteral("Delay each reply by the time its command and itself take on a 115200 "
                        "baud 8N1 wire.")},
        {QStringLiteral("split"), QStringLiteral("Send these replies in two pieces."), list},
        {QStringLiteral("split-at"),
         QStringLiteral("Cut a split reply after n of its bytes (1: right after the RTU "
                        "address), or at random (default: halfway)."),
         QStringLiteral("n|random")},
        {QStringLiteral("split-gap"),
         QStringLiteral("Time between the pieces of a split reply, and after a garbage run "
                        "(default 30)."),
         ms, QStringLiteral("30")},
        {QStringLiteral("garbage"),
         QStringLiteral("Put three stray bytes (00 FF 00) in front of these replies."), list},
        {QStringLiteral("garbage-run"),
         QStringLiteral("Send a long run of noise, in a write of its own, before these replies."),
         list},
        {QStringLiteral("garbage-length"),
         QStringLiteral("Bytes in a garbage run, 1..%1 (default 1500).").arg(LongestGarbageRun),
         QStringLiteral("n"), QStringLiteral("1500")},
        {QStringLiteral("bad-crc"),
         QStringLiteral("RTU: send a copy with a wrong checksum before these replies."), list},
        {QStringLiteral("trailing"),
         QStringLiteral("Put --trailing-bytes right after these replies, in the same write."),
         list},
        {QStringLiteral("trailing-bytes"),
         QStringLiteral("The bytes --trailing adds, in hex (default 00)."), QStringLiteral("hex"),
         QStringLiteral("00")},
        {QStringLiteral("late"), QStringLiteral("Send these replies --late-ms later."), list},
        {QStringLiteral("late-ms"),
         QStringLiteral("How much later a late reply comes, on top of --latency (default 4000)."),
         ms, QStringLiteral("4000")},
        {QStringLiteral("silent"), QStringLiteral("Do not send these replies at all."), list},
        {QStringLiteral("doubled"),
         QStringLiteral("Send these replies twice: the whole reply again, --doubled-ms after "
                        "the first."),
         list},
        {QStringLiteral("doubled-ms"),
         QStringLiteral("Time between a doubled reply and its copy; 0 sends both in one write "
                        "(default 5)."),
         ms, QStringLiteral("5")},
        {QStringLiteral("stray"),
         QStringLiteral("Put a stray reply, --stray-text framed as the board's, in front of these "
                        "replies in the same write (after any garbage)."),
         list},
        {QStringLiteral("stray-text"), QStringLiteral("The stray reply's text (default OK)."),
         QStringLiteral("text"), QStringLiteral("OK")},
        {QStringLiteral("stray-behind"),
         QStringLiteral("Put the stray right behind the reply instead, still in the same write.")},
        {QStringLiteral("twin"),
         QStringLiteral("Put a second board at the first board's address: it takes every "
                        "command the first takes and answers ms after it (0: in the same write), "
                        "clean of the reply faults."),
         ms},
        {QStringLiteral("miswrite"),
         QStringLiteral("The first board answers the n-th download line of each pass as if all "
                        "went well but keeps it spoilt, so the verify of that line gets ERROR."),
         QStringLiteral("n")},
        {QStringLiteral("miswrite-at"),
         QStringLiteral("The boards at these addresses miswrite instead of the first: the "
                        "--miswrite line of each pass, or line 1."),
         QStringLiteral("addresses")},
        {QStringLiteral("twin-miswrite"), QStringLiteral("The same as --miswrite, for the twin."),
         QStringLiteral("n")},
        {QStringLiteral("restart-at-line"),
         QStringLiteral("The board the n-th download or verify line (over all boards) is for "
                        "restarts as it comes: it forgets its image and any pass, keeps its "
                        "address, and sends its version text unasked instead of an answer."),
         QStringLiteral("n")},
        {QStringLiteral("seed"),
         QStringLiteral("Seed for the random choices; the same seed repeats a run (default 1)."),
         QStringLiteral("n"), QStringLiteral("1")},
        {QStringLiteral("record"),
         QStringLiteral("Append every byte the host sends, raw, to this file."),
         QStringLiteral("file")},
        {QStringLiteral("exit-after-lines"),
         QStringLiteral("Exit on receiving the n-th download or verify line (over all boards), "
                        "without answering it."),
         QStringLiteral("n")},
        {QStringLiteral("exit-on-mismatch"),
         QStringLiteral("Exit with status 2 if any verify line did not match.")},
        {QStringLiteral("quiet"),
         QStringLiteral("Print only the ready line, how each verify pass ended, and the "
                        "summary.")},
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
    ReplyStyle &replies = options.replies;
    replies.framing = parser.isSet(QStringLiteral("plain")) ? Framing::Plain : Framing::Rtu;
    options.portNumber = portNumber(parser);
    options.addresses = addresses(parser, replies.framing);
    options.versionText = parser.value(QStringLiteral("version-text")).toUtf8();
    if (parser.isSet(QStringLiteral("ok-to-commands")))
        options.commandReplies = Board::CommandReplies::Ok;
    options.seed = seed(parser);
    options.recordPath = parser.value(QStringLiteral("record"));
    options.exitOnMismatch = parser.isSet(QStringLiteral("exit-on-mismatch"));
    options.quiet = parser.isSet(QStringLiteral("quiet"));
    if (parser.isSet(QStringLiteral("exit-after-lines")))
        options.exitAfterLines =
            wholeNumber(parser, QStringLiteral("exit-after-lines"), 1, 1000000);

    replies.latencyMs = wholeNumber(parser, QStringLiteral("latency"), 0, 600000);
    replies.wirePacing = parser.isSet(QStringLiteral("wire-pacing"));
    replies.split = selection(parser, QStringLiteral("split"));
    splitPoint(parser, replies);
    replies.splitGapMs = wholeNumber(parser, QStringLiteral("split-gap"), 0, 600000);
    replies.garbage = selection(parser, QStringLiteral("garbage"));
    replies.garbageRun = selection(parser, QStringLiteral("garbage-run"));
    replies.garbageLength =
        wholeNumber(parser, QStringLiteral("garbage-length"), 1, LongestGarbageRun);
    replies.badCrc = selection(parser, QStringLiteral("bad-crc"));
    replies.trailing = selection(parser, QStringLiteral("trailing"));
    replies.trailingBytes = hexBytes(parser, QStringLiteral("trailing-bytes"));
    replies.late = selection(parser, QStringLiteral("late"));
    replies.lateMs = wholeNumber(parser, QStringLiteral("late-ms"), 0, 600000);
    replies.silent = selection(parser, QStringLiteral("silent"));
    replies.doubled = selection(parser, QStringLiteral("doubled"));
    replies.doubledGapMs = wholeNumber(parser, QStringLiteral("doubled-ms"), 0, 600000);
    replies.stray = selection(parser, QStringLiteral("stray"));
    replies.strayText = strayText(parser);
    replies.strayBehind = parser.isSet(QStringLiteral("stray-behind"));
    boardFaults(parser, options.boardFaults);
    options.boardFaults.miswritingBoards = miswritingBoards(parser, options.addresses);
    if (replies.framing == Framing::Plain && parser.isSet(QStringLiteral("bad-crc")))
        printError(QStringLiteral("--bad-crc has no checksum to spoil with --plain; ignored"));
    return options;
}
