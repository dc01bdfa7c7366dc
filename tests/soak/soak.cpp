// Many whole jobs against bootline-sim with every fault it can make mixed
// in, and a table of what came of them: from the window, an RTU board and a
// plain one side by side, and from bootline-cli at both paces, with resends
// and replies that come after the resend; and from bootline-cli on a board
// that answers OK to its commands and is given a new address on every job.
// Run by `make soak`; too long for `make test`.

#include "e2e/simulatedboard.h"
#include "fakes/testwindow.h"

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

const QString Blink = QStringLiteral(BOOTLINE_SOURCE_DIR "/examples/blink.hex");
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

QStringList faultsFor(bool rtu, int seed, int lateMs)
{
    QStringList faults = QStringLiteral("--quiet --garbage random:3 --split random:5 "
                                        "--split-at random --trailing random:3 "
                                        "--garbage-run random:0.3 --late random:1 "
                                        "--silent random:0.03 --doubled random:1")
                             .split(u' ');
    faults << "--seed" << QString::number(seed) << "--late-ms" << QString::number(lateMs);
    if (rtu)
        faults << "--bad-crc"
               << "random:3";
    else
        faults << "--plain";
    return faults;
}

// The last verify pass result in the board's output; empty when there is none.
QString lastVerifyPassResult(const QString &boardOutput)
{
    static const QRegularExpression result(QStringLiteral("image (NOT )?verified[^\n]*"));
    QString last;
    for (const QRegularExpressionMatch &match : result.globalMatch(boardOutput))
        last = match.captured();
    return last;
}

const QString WholeFileVerified = QStringLiteral("image verified, %1 lines").arg(FileLines);

// What the board said in the job that just ended. A host that quits as soon
// as it has written its last line is given the time the board needs to read
// it, so that the board is judged and not the race.
QString jobOutput(SimulatedBoard &board)
{
    QString output = board.newOutput();
    if (lastVerifyPassResult(output) != WholeFileVerified)
        output += board.newOutput(BoardCatchUpMs);
    return output;
}

// Whether the board ended the job with the whole file on it, checked line by
// line: bootline-sim prints how each verify pass ended.
bool imageVerified(const QString &jobOutput, QString *lastResult)
{
    const QString last = lastVerifyPassResult(jobOutput);
    *lastResult = last.isEmpty() ? QStringLiteral("no verify pass came to its end") : last;
    return last == WholeFileVerified;
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
        received = number(QStringLiteral("lines received (\\d+)"), -1);
        verified = number(QStringLiteral("lines verified (\\d+)"), -1);
        mismatches = number(QStringLiteral("mismatches (\\d+)"), -1);
        dropped = number(QStringLiteral("replies to lines dropped (\\d+)"), -1);
        late = number(QStringLiteral("faults applied: [^\n]*\\blate (\\d+)"), 0);
        doubled = number(QStringLiteral("faults applied: [^\n]*\\bdoubled (\\d+)"), 0);
    }
};

// One board and one window, going through job after job.
class WindowLane {
public:
    WindowLane(const QString &name, bool rtu, int com, int seed)
        : name(name), m_board(std::make_unique<SimulatedBoard>(faultsFor(rtu, seed, 1500), com)),
          m_window(std::make_unique<WindowUnderTest>(nullptr))
    {
        m_window->rtu()->setChecked(rtu);
        m_window->box("txt")->setText(QStringLiteral("COM%1").arg(com));
        m_window->box("Text1")->setText(QStringLiteral("1"));
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
        if (!t.button("BTNCloseCom")->isEnabled()) {
            m_found = false;
            t.button("BTNOpenCom")->click();
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
        if (job.outcome == JobResult::Outcome::Refused) {
            ++failures; // the board refused a line: never on a sound line
            start();
            return;
        }
        if (job.outcome != JobResult::Outcome::Verified &&
            job.outcome != JobResult::Outcome::NotVerified)
            return notice();
        ++jobs; // the window shows END
        QString result;
        if (!imageVerified(jobOutput(*m_board), &result)) {
            ++falseEnds;
            if (firstFalseEnd.isEmpty())
                firstFalseEnd = QStringLiteral("job %1: %2").arg(jobs).arg(result);
        }
        if (jobs * LinesPerJob >= linesWanted) {
            done = true;
            seconds = m_clock.elapsed() / 1000.0;
            return;
        }
        if (jobs % JobsPerOpen == 0) {
            t.button("BTNCloseCom")->click();
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
    int jobs = 0;
    int falseEnds = 0; // END shown, and the board does not hold the whole file
    QString firstFalseEnd;
    int stallsShown = 0;
    int silentStalls = 0;
    int failures = 0;
    double seconds = 0;
    bool done = false;

private:
    void start()
    {
        m_board->newOutput(); // what the board says from here on is this job's
        m_window->dialog->choice = Blink;
        m_window->button("Command3")->click();
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
            m_window->button("BTNCloseCom")->click();
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
            bool newAddressEachJob = false)
        : name(name), newAddressEachJob(newAddressEachJob), m_rtu(rtu), m_replyPace(replyPace),
          m_com(com),
          m_board(std::make_unique<SimulatedBoard>(boardOptions(rtu, seed, newAddressEachJob), com))
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

    // "5: 2, 6: 1": failed jobs by exit code.
    QString failuresByCode() const
    {
        QStringList parts;
        for (auto failure = failures.cbegin(); failure != failures.cend(); ++failure)
            parts << QStringLiteral("%1: %2").arg(failure.key()).arg(failure.value());
        return parts.isEmpty() ? QStringLiteral("none") : parts.join(QStringLiteral(", "));
    }

    const QString name;
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
    static QStringList boardOptions(bool rtu, int seed, bool newAddressEachJob)
    {
        QStringList options = faultsFor(rtu, seed, CliLateMs);
        if (!newAddressEachJob)
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
        m_cli.start(QStringLiteral(BOOTLINE_CLI), arguments);
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
        if (!verified) {
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
        com, seed + com, true));
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
    std::printf("| window lane | jobs | false END | lines sent | lines verified | mismatches | "
                "replies dropped | late replies | doubled replies | stalls shown | silent stalls "
                "| refused lines | seconds |\n"
                "|---|---|---|---|---|---|---|---|---|---|---|---|---|\n");
    for (const auto &lane : windows) {
        const BoardTotals board = lane->finish();
        std::printf("| %s | %d | %d | %d | %d | %d | %d | %d | %d | %d | %d | %d | %.0f |\n",
                    qPrintable(lane->name), lane->jobs, lane->falseEnds,
                    board.received + board.verified, board.verified, board.mismatches,
                    board.dropped, board.late, board.doubled, lane->stallsShown, lane->silentStalls,
                    lane->failures, lane->seconds);
        sound = sound && lane->falseEnds == 0 && board.mismatches == 0 && lane->silentStalls == 0 &&
                lane->failures == 0 && lane->stallsShown == board.dropped;
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
                    qPrintable(lane->failuresByCode()), board.received + board.verified,
                    board.mismatches, board.late, board.doubled, lane->silentStalls,
                    qPrintable(linesAfterCommand), lane->seconds);
        sound = sound && lane->falseDone == 0 && board.mismatches == 0 && lane->silentStalls == 0 &&
                lane->linesAfterLastCommand == 0;
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
