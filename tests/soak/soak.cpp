// Many whole jobs against bootline-sim with every fault it can make mixed
// in, and a table of what came of them: from the window, an RTU board and a
// plain one side by side, and from bootline-cli at both paces, with resends
// and replies that come after the resend; from bootline-cli on a board that
// answers OK to its commands and is given a new address on every job; and
// from both faces on a line that adds stray copies of replies, or carries
// two boards at one address. Run by `make soak`; too long for `make test`.

#include "e2e/simulatedboard.h"
#include "fakes/testwindow.h"
#include "support/outcomenames.h"
#include "support/testpaths.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <optional>
#include <utility>

namespace {

const QString Blink = TestPaths::exampleFile(QStringLiteral("blink.hex"));
constexpr int FileLines = 43;              // in blink.hex
constexpr int LinesPerJob = 2 * FileLines; // downloaded and verified
constexpr int JobsPerOpen = 10;      // then the port is closed and opened again, probe and all
constexpr int QuietLimitMs = 10000;  // no progress for this long, nothing shown: a silent stall
constexpr int CliJobLimitMs = 60000; // a bootline-cli job still running then: a silent stall
constexpr int BoardCatchUpMs = 200;  // for the board to read the last line a host wrote
constexpr int CliReplyTimeoutMs = 300;
constexpr int CliLateMs = 500; // after the resend, and before a second one would go
// The board that is given a new address on every job moves between these two,
// so that each job finds it where the last one left it.
constexpr int FirstAddress = 1;
constexpr int SecondAddress = 26;   // BOOT$1A: hex digits that are not the decimal ones
constexpr int HighestAddress = 247; // the board takes no other

// The everyday faults of a line, mixed at random. A doubled reply is one
// too many, and fails the job it falls in; it is kept rare.
QStringList faultsFor(bool rtu, int seed, int lateMs)
{
    QStringList faults = QStringLiteral("--quiet --garbage random:3 --split random:5 "
                                        "--split-at random --trailing random:3 "
                                        "--garbage-run random:0.3 --late random:1 "
                                        "--silent random:0.03 --doubled random:0.2")
                             .split(u' ');
    faults << "--seed" << QString::number(seed) << "--late-ms" << QString::number(lateMs);
    if (rtu)
        faults << "--bad-crc"
               << "random:3";
    else
        faults << "--plain";
    return faults;
}

// The board a lane runs its jobs on.
enum class LaneBoard {
    LineFaults,        // the line's mix
    NewAddressEachJob, // the line's mix, OK to commands, moved to another address each job
    // What a bus adds:
    StrayOks,             // a copy of "OK" in front of a reply, in the same read
    StrayDownloadsBehind, // a copy of "DOWNLOAD" behind a reply
    Twin,                 // a second board at the address, answering 5 ms after the first
    TwinMiswriting,       // 15 ms after, and it writes one line wrongly
};

bool isTwin(LaneBoard board)
{
    return board == LaneBoard::Twin || board == LaneBoard::TwinMiswriting;
}

QStringList boardOptions(LaneBoard board, bool rtu, int seed, int lateMs)
{
    QStringList options;
    switch (board) {
    case LaneBoard::LineFaults:
    case LaneBoard::NewAddressEachJob:
        return faultsFor(rtu, seed, lateMs);
    case LaneBoard::StrayOks:
        options = {"--stray", "random:1"};
        break;
    case LaneBoard::StrayDownloadsBehind:
        options = {"--stray", "random:1", "--stray-text", "DOWNLOAD", "--stray-behind"};
        break;
    case LaneBoard::Twin:
        options = {"--twin", "5"};
        break;
    case LaneBoard::TwinMiswriting:
        options = {"--twin", "15", "--twin-miswrite", QString::number(1 + seed % FileLines)};
        break;
    }
    options += {"--quiet", "--seed", QString::number(seed)};
    if (!rtu)
        options += "--plain";
    return options;
}

const QString WholeFileVerified = QStringLiteral("image verified, %1 lines").arg(FileLines);

// How the last verify pass of each board ended, from the board's output: one
// board, or a board and its twin ("address 1 (twin): image verified, ...").
QMap<QString, QString> lastVerifyPassResults(const QString &boardOutput)
{
    static const QRegularExpression result(QStringLiteral(
        "bootline-sim: ((?:address \\d+(?: \\(twin\\))?: )?)(image (?:NOT )?verified[^\\n]*)"));
    QMap<QString, QString> last;
    for (const QRegularExpressionMatch &match : result.globalMatch(boardOutput))
        last[match.captured(1)] = match.captured(2);
    return last;
}

bool everyBoardVerified(const QMap<QString, QString> &results)
{
    return !results.isEmpty() &&
           std::all_of(results.cbegin(), results.cend(),
                       [](const QString &result) { return result == WholeFileVerified; });
}

// What the board said in the job that just ended. A host that quits as soon
// as it has written its last line is given the time the board needs to read
// it, so that the board is judged and not the race.
QString jobOutput(SimulatedBoard &board)
{
    QString output = board.newOutput();
    if (!everyBoardVerified(lastVerifyPassResults(output)))
        output += board.newOutput(BoardCatchUpMs);
    return output;
}

// Whether the boards ended the job with the whole file on them, checked line
// by line: bootline-sim prints how each verify pass ended.
bool imageVerified(const QString &jobOutput, QString *lastResult)
{
    const QMap<QString, QString> results = lastVerifyPassResults(jobOutput);
    QStringList said;
    for (auto result = results.cbegin(); result != results.cend(); ++result)
        said << result.key() + result.value();
    *lastResult = said.isEmpty() ? QStringLiteral("no verify pass came to its end")
                                 : said.join(QStringLiteral("; "));
    return everyBoardVerified(results);
}

// "extra reply: 2, refused: 1", or "none".
template <typename Key> QString countsByKey(const QMap<Key, int> &counts)
{
    QStringList parts;
    for (auto count = counts.cbegin(); count != counts.cend(); ++count)
        parts << QStringLiteral("%1: %2").arg(count.key()).arg(count.value());
    return parts.isEmpty() ? QStringLiteral("none") : parts.join(QStringLiteral(", "));
}

// The download and verify lines that reached the board after the job's first
// address or install command, from the board's log: by then the host has
// nothing left to send, whatever the board answers.
QStringList linesAfterCommand(const QString &jobOutput)
{
    static const QRegularExpression command(QStringLiteral("^<< BOOT[$g]"),
                                            QRegularExpression::MultilineOption);
    static const QRegularExpression line(QStringLiteral("^<< BOOT[:#].*"),
                                         QRegularExpression::MultilineOption);
    const qsizetype commandAt = jobOutput.indexOf(command);
    if (commandAt < 0)
        return {};
    QStringList lines;
    for (const QRegularExpressionMatch &match : line.globalMatch(jobOutput, commandAt))
        lines << match.captured();
    return lines;
}

// The address the board took in the job, from its log; none when it kept its own.
std::optional<int> addressTaken(const QString &jobOutput)
{
    // A command for another address is logged with "ignored" after it.
    static const QRegularExpression taken(QStringLiteral("^<< BOOT\\$([0-9A-Fa-f]{2})$"),
                                          QRegularExpression::MultilineOption);
    std::optional<int> address;
    for (const QRegularExpressionMatch &match : taken.globalMatch(jobOutput)) {
        const int value = match.captured(1).toInt(nullptr, 16);
        if (value >= 1 && value <= HighestAddress)
            address = value;
    }
    return address;
}

// The board's closing summary.
struct BoardTotals {
    int received = -1;
    int verified = -1;
    int mismatches = -1;
    int dropped = -1;
    int late = 0;
    int doubled = 0;

    explicit BoardTotals(const QString &output)
    {
        const auto number = [&](const QString &pattern, int none) {
            const QRegularExpressionMatch match = QRegularExpression(pattern).match(output);
            return match.hasMatch() ? match.captured(1).toInt() : none;
        };
        // The totals: with a twin, each board has a line of its own before them.
        received = number(QStringLiteral("bootline-sim: lines received (\\d+)"), -1);
        verified =
            number(QStringLiteral("bootline-sim: lines received \\d+, lines verified (\\d+)"), -1);
        mismatches = number(QStringLiteral("bootline-sim: lines received .*mismatches (\\d+)"), -1);
        dropped = number(QStringLiteral("replies to lines dropped (\\d+)"), -1);
        late = number(QStringLiteral("faults applied: [^\n]*\\blate (\\d+)"), 0);
        doubled = number(QStringLiteral("faults applied: [^\n]*\\bdoubled (\\d+)"), 0);
    }
};

// One board and one window, going through job after job.
class WindowLane {
public:
    WindowLane(const QString &name, bool rtu, int com, int seed,
               LaneBoard board = LaneBoard::LineFaults)
        : name(name), board(board),
          m_board(std::make_unique<SimulatedBoard>(boardOptions(board, rtu, seed, 1500), com)),
          m_window(std::make_unique<WindowUnderTest>(nullptr))
    {
        m_window->rtu()->setChecked(rtu);
        m_window->box("portBox")->setText(QStringLiteral("COM%1").arg(com));
        m_window->box("addressBox")->setText(QStringLiteral("1"));
        Engine &engine = m_window->engine;
        QObject::connect(&engine, &Engine::boardFound, &engine, [this] { m_found = true; });
        QObject::connect(&engine, &Engine::lineSent, &engine, [this] { ++m_lineEvents; });
        QObject::connect(&engine, &Engine::lineAcknowledged, &engine, [this] { ++m_lineEvents; });
        QObject::connect(&engine, &Engine::lineUnanswered, &engine,
                         [this] { m_unanswered = true; });
        QObject::connect(&engine, &Engine::jobEnded, &engine,
                         [this](const JobResult &job) { m_ended = job; });
        m_clock.start();
    }

    bool isReady() const { return m_board->isReady(); }

    // Called every few milliseconds: acts as a patient operator would.
    void look(int linesWanted)
    {
        WindowUnderTest &t = *m_window;
        if (done)
            return;
        if (!t.button("closePortButton")->isEnabled()) {
            m_found = false;
            t.button("openPortButton")->click();
            m_jobStarted = false;
            m_sinceProgress.start();
            return;
        }
        if (!m_jobStarted) {
            if (!m_found)
                return notice(); // the probe is still at it
            start();
            return;
        }
        if (std::exchange(m_unanswered, false)) {
            ++stallsShown; // a dropped reply: start the file again, as the README says
            start();
            return;
        }
        if (!m_ended)
            return notice();
        const JobResult job = *std::exchange(m_ended, std::nullopt);
        ++jobs;
        QString result;
        const bool boardsVerified = imageVerified(jobOutput(*m_board), &result);
        if (job.verified()) { // the window shows END
            ++ends;
            if (!boardsVerified || isTwin(board)) { // or a second board went unseen
                ++falseEnds;
                if (firstFalseEnd.isEmpty())
                    firstFalseEnd = QStringLiteral("job %1: %2").arg(jobs).arg(result);
            }
        } else {
            ++failures[outcomeName(job.outcome)]; // ERROR on the bar, and why
        }
        if (jobs * LinesPerJob >= linesWanted) {
            done = true;
            seconds = m_clock.elapsed() / 1000.0;
            return;
        }
        if (jobs % JobsPerOpen == 0) {
            t.button("closePortButton")->click();
            return;
        }
        start();
    }

    // Stops the board and reads its summary.
    BoardTotals finish()
    {
        m_board->stop();
        return BoardTotals(m_board->output());
    }

    const QString name;
    const LaneBoard board;
    int jobs = 0;
    int ends = 0;      // END shown
    int falseEnds = 0; // END shown, and a board does not hold the whole file
    QString firstFalseEnd;
    int stallsShown = 0;
    int silentStalls = 0;
    QMap<QString, int> failures; // ERROR shown, by outcome
    double seconds = 0;
    bool done = false;

private:
    void start()
    {
        m_board->newOutput(); // what the board says from here on is this job's
        m_window->dialog->choice = Blink;
        m_window->button("downloadButton")->click();
        m_jobStarted = true;
        m_ended.reset();
        m_unanswered = false;
        m_sinceProgress.start();
    }

    // Progress, or a silent stall when there has been none for too long.
    void notice()
    {
        if (m_lineEvents != m_lastLineEvents) {
            m_lastLineEvents = m_lineEvents;
            m_sinceProgress.start();
        } else if (m_sinceProgress.elapsed() > QuietLimitMs) {
            ++silentStalls;
            m_window->button("closePortButton")->click();
        }
    }

    std::unique_ptr<SimulatedBoard> m_board;
    std::unique_ptr<WindowUnderTest> m_window;
    bool m_jobStarted = false;
    bool m_found = false;      // the probe was answered since the port opened
    bool m_unanswered = false; // a line went unanswered
    std::optional<JobResult> m_ended;
    int m_lineEvents = 0; // lines sent and acknowledged: progress
    int m_lastLineEvents = -1;
    QElapsedTimer m_sinceProgress;
    QElapsedTimer m_clock;
};

// One board and bootline-cli run on it job after job, at one pace, with one
// or two resends and a reply timeout that late replies overrun. With
// newAddressEachJob the board answers OK to commands, and each job gives it
// the other of two addresses, the last one installs too; the lane follows it
// to where it went, and counts the lines sent after those commands.
class CliLane {
public:
    CliLane(const QString &name, bool rtu, bool replyPace, int com, int seed,
            LaneBoard board = LaneBoard::LineFaults)
        : name(name), board(board), newAddressEachJob(board == LaneBoard::NewAddressEachJob),
          m_rtu(rtu), m_replyPace(replyPace), m_com(com),
          m_board(std::make_unique<SimulatedBoard>(cliBoardOptions(board, rtu, seed), com))
    {
        m_cli.setProcessChannelMode(QProcess::MergedChannels);
        m_clock.start();
    }

    bool isReady() const { return m_board->isReady(); }

    void look(int linesWanted)
    {
        if (done)
            return;
        if (m_cli.state() != QProcess::NotRunning) {
            if (m_sinceStart.elapsed() > CliJobLimitMs) {
                ++silentStalls;
                m_cli.kill();
                m_cli.waitForFinished();
                m_cli.readAll();
                m_jobRunning = false;
                if (newAddressEachJob)
                    followCommands(m_board->newOutput()); // it may have moved all the same
            }
            return;
        }
        if (m_jobRunning) {
            // Lines written just before the exit are still to be read by the
            // board, and a line after the last command is what is looked for.
            if (newAddressEachJob && !m_sinceExit.isValid())
                m_sinceExit.start();
            if (newAddressEachJob && m_sinceExit.elapsed() < BoardCatchUpMs)
                return;
            m_sinceExit.invalidate();
            m_jobRunning = false;
            judge();
        }
        if (jobs * LinesPerJob >= linesWanted) {
            done = true;
            seconds = m_clock.elapsed() / 1000.0;
            return;
        }
        start(linesWanted);
    }

    BoardTotals finish()
    {
        m_board->stop();
        return BoardTotals(m_board->output());
    }

    const QString name;
    const LaneBoard board;
    const bool newAddressEachJob;
    int jobs = 0;
    int doneJobs = 0;  // exit 0
    int falseDone = 0; // exit 0, and the board does not hold the whole file
    QString firstFalseDone;
    QMap<int, int> failures;      // by exit code; -1: crashed
    QMap<int, QString> firstSaid; // by exit code, what the failed job said last
    int silentStalls = 0;
    int linesAfterLastCommand = 0; // with newAddressEachJob
    QString firstLineAfterCommand;
    double seconds = 0;
    bool done = false;

private:
    static QStringList cliBoardOptions(LaneBoard board, bool rtu, int seed)
    {
        QStringList options = boardOptions(board, rtu, seed, CliLateMs);
        if (board != LaneBoard::NewAddressEachJob)
            return options;
        // Not quiet: its log shows every line that reached it, and when.
        options.removeOne(QStringLiteral("--quiet"));
        return options << "--ok-to-commands"
                       << "--address" << QString::number(FirstAddress);
    }

    void start(int linesWanted)
    {
        m_board->newOutput();     // what the board says from here on is this job's
        m_retries = 1 + jobs % 2; // both resend counts in turn
        QStringList arguments{"-p", QStringLiteral("COM%1").arg(m_com)};
        arguments << "--pace" << QString::fromLatin1(m_replyPace ? "reply" : "poll");
        arguments << "--retries" << QString::number(m_retries);
        arguments << "--reply-timeout" << QString::number(CliReplyTimeoutMs);
        if (m_rtu)
            arguments << "-a" << QString::number(m_address);
        else
            arguments << "--plain";
        if (newAddressEachJob) {
            const int next = m_address == FirstAddress ? SecondAddress : FirstAddress;
            arguments << "--set-address" << QString::number(next);
            // The firmware starts and the board answers nothing more, so only on the last job.
            if ((jobs + 1) * LinesPerJob >= linesWanted)
                arguments << "--install";
        }
        arguments << Blink;
        ++jobs;
        m_cli.start(TestPaths::cli(), arguments);
        m_jobRunning = true;
        m_sinceStart.start();
    }

    void judge()
    {
        const QString said = QString::fromUtf8(m_cli.readAll()).trimmed();
        const int code =
            m_cli.exitStatus() == QProcess::NormalExit && m_cli.error() != QProcess::FailedToStart
                ? m_cli.exitCode()
                : -1;
        const QString output = jobOutput(*m_board);
        if (newAddressEachJob)
            followCommands(output);
        QString result;
        const bool verified = imageVerified(output, &result);
        if (code != 0) {
            ++failures[code];
            if (!firstSaid.contains(code))
                firstSaid[code] = said.section(u'\n', -1);
            return;
        }
        ++doneJobs;
        if (!verified || isTwin(board)) { // or a second board went unseen
            ++falseDone;
            if (firstFalseDone.isEmpty())
                firstFalseDone = QStringLiteral("job %1 (--retries %2): %3")
                                     .arg(jobs)
                                     .arg(m_retries)
                                     .arg(result);
        }
    }

    void followCommands(const QString &output)
    {
        const QStringList after = linesAfterCommand(output);
        linesAfterLastCommand += int(after.size());
        if (!after.isEmpty() && firstLineAfterCommand.isEmpty())
            firstLineAfterCommand = QStringLiteral("job %1 (--retries %2): %3")
                                        .arg(jobs)
                                        .arg(m_retries)
                                        .arg(after.first());
        if (const std::optional<int> address = addressTaken(output))
            m_address = *address;
    }

    bool m_rtu;
    bool m_replyPace;
    int m_com;
    int m_address = FirstAddress; // where the board is now
    std::unique_ptr<SimulatedBoard> m_board;
    QProcess m_cli;
    bool m_jobRunning = false;
    int m_retries = 0; // of the job under way
    QElapsedTimer m_sinceStart;
    QElapsedTimer m_sinceExit; // of the job's bootline-cli, while the board catches up
    QElapsedTimer m_clock;
};

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Soaks Bootline in whole jobs on a faulty line."));
    parser.addHelpOption();
    parser.addOptions({
        {QStringLiteral("lines"),
         QStringLiteral("Lines to send in all, shared among the lanes (default 20000)."),
         QStringLiteral("n"), QStringLiteral("20000")},
        {QStringLiteral("seed"), QStringLiteral("Seed for the faults (default 1)."),
         QStringLiteral("n"), QStringLiteral("1")},
    });
    parser.process(app);
    bool ok = false;
    const int linesWanted = parser.value(QStringLiteral("lines")).toInt(&ok);
    if (!ok || linesWanted < 1) {
        std::fprintf(stderr, "soak: --lines takes a whole number from 1 up, not \"%s\"\n",
                     qPrintable(parser.value(QStringLiteral("lines"))));
        return 1;
    }
    const int seed = parser.value(QStringLiteral("seed")).toInt();

    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    qputenv("XDG_DATA_HOME", config.path().toLocal8Bit()); // its records, thrown away with it
    std::vector<std::unique_ptr<WindowLane>> windows;
    windows.push_back(std::make_unique<WindowLane>(QStringLiteral("window RTU"), true, 3, seed));
    windows.push_back(
        std::make_unique<WindowLane>(QStringLiteral("window plain"), false, 4, seed + 1));
    std::vector<std::unique_ptr<CliLane>> clis;
    int com = 5;
    for (const bool rtu : {true, false}) {
        for (const bool replyPace : {false, true}) {
            const QString name = QStringLiteral("cli %1, %2 pace")
                                     .arg(rtu ? "RTU" : "plain", replyPace ? "reply" : "poll");
            clis.push_back(std::make_unique<CliLane>(name, rtu, replyPace, com, seed + com));
            ++com;
        }
    }
    clis.push_back(std::make_unique<CliLane>(
        QStringLiteral("cli RTU, reply pace, OK to commands, new address each job"), true, true,
        com, seed + com, LaneBoard::NewAddressEachJob));
    ++com;
    // What a bus adds.
    const QString strays = QStringLiteral("stray copies");
    const QString twin = QStringLiteral("two boards at one address");
    windows.push_back(std::make_unique<WindowLane>("window RTU, " + strays, true, com, seed + com,
                                                   LaneBoard::StrayOks));
    ++com;
    windows.push_back(std::make_unique<WindowLane>("window RTU, " + twin, true, com, seed + com,
                                                   LaneBoard::TwinMiswriting));
    ++com;
    const QList<std::tuple<QString, bool, bool, LaneBoard>> busLanes{
        {"cli RTU, poll pace, " + strays, true, false, LaneBoard::StrayDownloadsBehind},
        {"cli plain, reply pace, " + strays, false, true, LaneBoard::StrayOks},
        {"cli RTU, reply pace, " + twin, true, true, LaneBoard::Twin},
        {"cli plain, poll pace, " + twin, false, false, LaneBoard::TwinMiswriting}};
    for (const auto &[name, rtu, replyPace, board] : busLanes) {
        clis.push_back(std::make_unique<CliLane>(name, rtu, replyPace, com, seed + com, board));
        ++com;
    }
    const auto notStarted = [](const QString &name) {
        std::fprintf(stderr, "soak: the simulated board for %s did not start\n", qPrintable(name));
        return 1;
    };
    for (const auto &lane : windows) {
        if (!lane->isReady())
            return notStarted(lane->name);
    }
    for (const auto &lane : clis) {
        if (!lane->isReady())
            return notStarted(lane->name);
    }

    const int linesPerLane = qMax(1, linesWanted / int(windows.size() + clis.size()));
    QTimer operatorEye;
    QObject::connect(&operatorEye, &QTimer::timeout, [&] {
        bool allDone = true;
        for (const auto &lane : windows) {
            lane->look(linesPerLane);
            allDone = allDone && lane->done;
        }
        for (const auto &lane : clis) {
            lane->look(linesPerLane);
            allDone = allDone && lane->done;
        }
        if (allDone)
            app.quit();
    });
    operatorEye.start(5);
    app.exec();

    bool sound = true;
    QStringList notes;
    std::printf("| window lane | jobs | END | false END | ERROR, by outcome | lines sent | "
                "mismatches | replies dropped | late replies | doubled replies | stalls shown | "
                "silent stalls | seconds |\n"
                "|---|---|---|---|---|---|---|---|---|---|---|---|---|\n");
    for (const auto &lane : windows) {
        const BoardTotals board = lane->finish();
        std::printf("| %s | %d | %d | %d | %s | %d | %d | %d | %d | %d | %d | %d | %.0f |\n",
                    qPrintable(lane->name), lane->jobs, lane->ends, lane->falseEnds,
                    qPrintable(countsByKey(lane->failures)), board.received + board.verified,
                    board.mismatches, board.dropped, board.late, board.doubled, lane->stallsShown,
                    lane->silentStalls, lane->seconds);
        sound = sound && lane->falseEnds == 0 && lane->silentStalls == 0;
        // On the line's faults alone, a sound board refuses nothing and every lost reply shows.
        if (lane->board == LaneBoard::LineFaults)
            sound = sound && board.mismatches == 0 && !lane->failures.contains("refused") &&
                    lane->stallsShown == board.dropped;
        if (!lane->firstFalseEnd.isEmpty())
            notes << QStringLiteral("%1: first false END, %2").arg(lane->name, lane->firstFalseEnd);
    }
    std::printf("\n| cli lane | jobs | exit 0 | false done | failed, by exit code | lines sent | "
                "mismatches | late replies | doubled replies | silent stalls | lines after the "
                "last command | seconds |\n"
                "|---|---|---|---|---|---|---|---|---|---|---|---|\n");
    for (const auto &lane : clis) {
        const BoardTotals board = lane->finish();
        const QString linesAfterCommand = lane->newAddressEachJob
                                              ? QString::number(lane->linesAfterLastCommand)
                                              : QStringLiteral("-");
        std::printf("| %s | %d | %d | %d | %s | %d | %d | %d | %d | %d | %s | %.0f |\n",
                    qPrintable(lane->name), lane->jobs, lane->doneJobs, lane->falseDone,
                    qPrintable(countsByKey(lane->failures)), board.received + board.verified,
                    board.mismatches, board.late, board.doubled, lane->silentStalls,
                    qPrintable(linesAfterCommand), lane->seconds);
        sound = sound && lane->falseDone == 0 && lane->silentStalls == 0 &&
                lane->linesAfterLastCommand == 0 && (isTwin(lane->board) || board.mismatches == 0);
        if (!lane->firstFalseDone.isEmpty())
            notes
                << QStringLiteral("%1: first false done, %2").arg(lane->name, lane->firstFalseDone);
        if (!lane->firstLineAfterCommand.isEmpty())
            notes << QStringLiteral("%1: first line after the last command, %2")
                         .arg(lane->name, lane->firstLineAfterCommand);
        for (auto said = lane->firstSaid.cbegin(); said != lane->firstSaid.cend(); ++said)
            notes << QStringLiteral("%1: first exit %2 said: %3")
                         .arg(lane->name)
                         .arg(said.key())
                         .arg(said.value());
    }
    if (!notes.isEmpty())
        std::printf("\n%s\n", qPrintable(notes.join(u'\n')));
    std::printf("%s\n", sound ? "soak: sound" : "soak: FAULTS FOUND");
    return sound ? 0 : 1;
}
