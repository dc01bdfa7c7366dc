// make bench: Bootline's speed against bootline-sim on a pty, from the window
// (offscreen) and from bootline-cli, beside the floors of each pace and a
// bare Qt loop; the table, bench/results.md and a plot.

#include "childrun.h"
#include "e2e/simulatedboard.h"
#include "engine/jobpolicy.h"
#include "figures.h"
#include "firmware.h"
#include "roles.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

namespace {

const QString Port = QStringLiteral("COM9"); // the tests use COM3
constexpr double PollMs = JobTiming::PollEveryMs;
constexpr double ShortJobSeconds = 15;
constexpr int RunsOfAShortJob = 3;
constexpr int PollLatenessRounds = 200; // 4 s

struct Plan {
    QList<int> lines;
    int portsLines = 500;
    QList<int> pollOnWireLines; // the poll pace hardly feels the wire, and 9000 lines take 6 min
    int idleSeconds = 10;
    int starts = 7;
    QString results;
    QString plot;
};

void say(const QString &text)
{
    std::fprintf(stderr, "%s\n", qPrintable(text));
}

Engine::Pace paceNamed(const QString &name)
{
    return name == QStringLiteral("reply") ? Engine::Pace::Reply : Engine::Pace::Poll;
}

QString self()
{
    return QCoreApplication::applicationFilePath();
}

std::optional<QJsonObject> jsonEvent(const ChildRun &run, const QString &event, double *at)
{
    for (const ChildRun::Line &line : run.lines) {
        const QJsonObject object = QJsonDocument::fromJson(line.text).object();
        if (object.value(QStringLiteral("event")).toString() == event) {
            *at = line.atSeconds;
            return object;
        }
    }
    return std::nullopt;
}

class Bench {
public:
    Bench(const Plan &plan, QTemporaryDir &folder) : m_plan(plan), m_folder(folder) {}

    Figures run();

private:
    QString firmwareFile(int lines);
    std::optional<TimedJob> job(const QString &face, const QString &pace, bool wirePacing,
                                int lines);
    std::optional<TimedJob> timeOnce(const QString &face, const QString &pace, bool wirePacing,
                                     int lines);
    std::optional<PortsTiming> timePorts(int ports, int boardsPerPort);
    double idleCpuPercent(const QString &pace);
    bool measurePollLateness(Figures &figures);
    QList<double> startups();

    const Plan &m_plan;
    QTemporaryDir &m_folder;
    double m_loadMs = 0;
};

QString Bench::firmwareFile(int lines)
{
    QString path = m_folder.filePath(QStringLiteral("firmware-%1.hex").arg(lines));
    QFile file(path);
    if (file.exists())
        return path;
    if (!file.open(QIODevice::WriteOnly))
        say(QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));
    for (const QByteArray &line : benchFirmware(lines))
        file.write(line + "\r\n");
    return path;
}

// A job of a few seconds is thrown off by a hiccup of the machine: it is
// timed three times and the middle one kept.
std::optional<TimedJob> Bench::job(const QString &face, const QString &pace, bool wirePacing,
                                   int lines)
{
    QList<TimedJob> timings;
    for (int run = 0; run < RunsOfAShortJob; ++run) {
        const std::optional<TimedJob> timing = timeOnce(face, pace, wirePacing, lines);
        if (!timing)
            return std::nullopt;
        timings << *timing;
        if (timing->seconds >= ShortJobSeconds)
            break;
    }
    std::sort(timings.begin(), timings.end(),
              [](const TimedJob &a, const TimedJob &b) { return a.seconds < b.seconds; });
    const TimedJob &kept = timings[timings.size() / 2];
    say(QStringLiteral("%1, %2 pace, board %3, %4 lines: %5 s, %6 frames%7")
            .arg(face, pace, wirePacing ? "on a 115200 wire" : "at once")
            .arg(lines)
            .arg(kept.seconds, 0, 'f', 2)
            .arg(kept.frames)
            .arg(timings.size() > 1 ? QStringLiteral(" (the middle of %1)").arg(timings.size())
                                    : QString()));
    return kept;
}

std::optional<TimedJob> Bench::timeOnce(const QString &face, const QString &pace, bool wirePacing,
                                        int lines)
{
    QStringList boardOptions{QStringLiteral("--quiet")};
    if (wirePacing)
        boardOptions << QStringLiteral("--wire-pacing");
    SimulatedBoard board(boardOptions, Port.mid(3).toInt());
    if (!board.isReady()) {
        say(QStringLiteral("bootline-sim did not start: %1").arg(board.output()));
        return std::nullopt;
    }
    const QString file = firmwareFile(lines);
    TimedJob timing{face, pace, wirePacing, lines};
    if (face == QStringLiteral("cli")) {
        const ChildRun run =
            runChild(QStringLiteral(BOOTLINE_CLI),
                     {"-p", Port, "-a", "1", "--pace", pace, "--json", "--log", "none", file});
        double connectedAt = 0;
        double doneAt = 0;
        const auto connected = jsonEvent(run, QStringLiteral("connected"), &connectedAt);
        const auto done = jsonEvent(run, QStringLiteral("board"), &doneAt);
        if (run.exitCode != 0 || !connected || !done)
            return std::nullopt;
        timing.seconds = doneAt - connectedAt;
        timing.frames = done->value(QStringLiteral("lines")).toInt();
        timing.cpuSeconds = run.cpuSeconds;
        timing.peakRssMiB = run.peakRssMiB;
    } else {
        const QString role = face == QStringLiteral("window") ? QStringLiteral("window-job")
                                                              : QStringLiteral("bare-loop");
        const ChildRun run =
            runChild(self(), {"--role", role, "--port", Port, "--pace", pace, "--file", file});
        if (run.exitCode != 0)
            return std::nullopt;
        timing.seconds = run.value("job_seconds");
        timing.frames = int(run.value("frames"));
        timing.cpuSeconds = run.value("job_cpu_seconds");
        timing.peakRssMiB = run.peakRssMiB;
        if (face == QStringLiteral("window") && lines == m_plan.lines.last())
            m_loadMs = run.value("load_ms");
    }
    if (pace == QStringLiteral("poll"))
        timing.floorSeconds = 2 * lines * PollMs / 1000;
    else if (wirePacing)
        timing.floorSeconds = wireFloorSeconds(benchFirmware(lines));
    return timing;
}

// bootline-cli with a simulator of its own on each port, each playing the
// port's bus of boards.
std::optional<PortsTiming> Bench::timePorts(int ports, int boardsPerPort)
{
    const int firstPort = Port.mid(3).toInt();
    std::vector<std::unique_ptr<SimulatedBoard>> boards;
    QStringList names;
    for (int port = 0; port < ports; ++port) {
        boards.push_back(
            std::make_unique<SimulatedBoard>(QStringList{"--quiet", "--wire-pacing", "--address",
                                                         QStringLiteral("1-%1").arg(boardsPerPort)},
                                             firstPort + port));
        if (!boards.back()->isReady()) {
            say(QStringLiteral("bootline-sim did not start: %1").arg(boards.back()->output()));
            return std::nullopt;
        }
        names << QStringLiteral("COM%1").arg(firstPort + port);
    }
    const ChildRun run =
        runChild(QStringLiteral(BOOTLINE_CLI),
                 {"-p", names.join(u','), "-a", QStringLiteral("1-%1").arg(boardsPerPort), "--pace",
                  "reply", "--json", "--log", "none", firmwareFile(m_plan.portsLines)});
    double firstAnswer = -1;
    double lastEnd = 0;
    for (const ChildRun::Line &line : run.lines) {
        const QString event =
            QJsonDocument::fromJson(line.text).object().value(QStringLiteral("event")).toString();
        if (event == QStringLiteral("connected") && firstAnswer < 0)
            firstAnswer = line.atSeconds;
        if (event == QStringLiteral("board"))
            lastEnd = line.atSeconds;
    }
    if (run.exitCode != 0 || firstAnswer < 0)
        return std::nullopt;
    const PortsTiming timing{ports, boardsPerPort, m_plan.portsLines, lastEnd - firstAnswer};
    say(QStringLiteral("cli, %1 ports × %2 boards, %3 lines: %4 s")
            .arg(ports)
            .arg(boardsPerPort)
            .arg(timing.lines)
            .arg(timing.seconds, 0, 'f', 2));
    return timing;
}

double Bench::idleCpuPercent(const QString &pace)
{
    SimulatedBoard board({QStringLiteral("--quiet")}, Port.mid(3).toInt());
    const ChildRun run = runChild(self(), {"--role", "window-idle", "--port", Port, "--pace", pace,
                                           "--seconds", QString::number(m_plan.idleSeconds)});
    return run.value("idle_cpu_percent");
}

bool Bench::measurePollLateness(Figures &figures)
{
    const ChildRun run = runChild(
        self(), {"--role", "poll-lateness", "--rounds", QString::number(PollLatenessRounds)});
    if (run.exitCode != 0) {
        say(QStringLiteral("the poll timer's lateness could not be measured: a tick never came"));
        return false;
    }
    figures.pollLatenessMedianMs = run.value("lateness_median_ms");
    figures.pollLatenessEarliestMs = run.value("lateness_earliest_ms");
    return true;
}

QList<double> Bench::startups()
{
    QList<double> ms;
    for (int start = 0; start < m_plan.starts; ++start) {
        const ChildRun run = runChild(self(), {"--first-paint"});
        if (const ChildRun::Line *painted = run.find("painted"))
            ms << 1000 * painted->atSeconds;
    }
    return ms;
}

Figures Bench::run()
{
    Figures figures;
    const auto add = [&](const QString &face, const QString &pace, bool wirePacing, int lines) {
        if (const std::optional<TimedJob> timing = job(face, pace, wirePacing, lines))
            figures.jobs << *timing;
        else
            say(QStringLiteral("%1, %2 pace, %3 lines: the job failed").arg(face, pace).arg(lines));
    };
    figures.startupMs = startups();
    figures.idleCpuPercentPoll = idleCpuPercent(QStringLiteral("poll"));
    figures.idleCpuPercentReply = idleCpuPercent(QStringLiteral("reply"));
    if (!measurePollLateness(figures))
        figures.pollLatenessEarliestMs = -1; // fails its target, loudly
    for (const bool wirePacing : {false, true}) {
        for (const int lines : m_plan.lines) {
            for (const QString &face : {QStringLiteral("window"), QStringLiteral("cli")}) {
                add(face, QStringLiteral("reply"), wirePacing, lines);
                if (!wirePacing || m_plan.pollOnWireLines.contains(lines))
                    add(face, QStringLiteral("poll"), wirePacing, lines);
            }
        }
    }
    for (const bool wirePacing : {false, true}) {
        for (const int lines : m_plan.lines) {
            if (!wirePacing || m_plan.pollOnWireLines.contains(lines))
                add(QStringLiteral("bare loop"), QStringLiteral("poll"), wirePacing, lines);
        }
    }
    for (const auto &[ports, boardsPerPort] : {std::pair{1, 1}, {2, 1}, {1, 4}, {4, 4}}) {
        if (const std::optional<PortsTiming> timing = timePorts(ports, boardsPerPort))
            figures.portRuns << *timing;
        else
            say(QStringLiteral("cli, %1 ports × %2 boards: the run failed")
                    .arg(ports)
                    .arg(boardsPerPort));
    }
    figures.loadMs = m_loadMs;
    figures.loadLines = m_plan.lines.last();
    figures.targets = targetsOf(figures);
    return figures;
}

QString machine()
{
    QFile cpuInfo(QStringLiteral("/proc/cpuinfo"));
    QString model;
    if (cpuInfo.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : cpuInfo.readAll().split('\n')) {
            if (line.startsWith("model name")) {
                model = QString::fromLatin1(line.mid(line.indexOf(':') + 1).trimmed());
                break;
            }
        }
    }
    return QStringLiteral("%1, %2 cores (%3), Qt %4")
        .arg(QSysInfo::prettyProductName())
        .arg(QThread::idealThreadCount())
        .arg(model.isEmpty() ? QSysInfo::currentCpuArchitecture() : model, qVersion());
}

QList<int> lineCounts(const QString &text)
{
    QList<int> counts;
    for (const QString &item : text.split(u',', Qt::SkipEmptyParts)) {
        bool ok = false;
        const int count = item.trimmed().toInt(&ok);
        if (ok && count >= 2)
            counts << count;
    }
    std::sort(counts.begin(), counts.end());
    return counts;
}

int runRole(const QCommandLineParser &parser)
{
    const QString role = parser.value(QStringLiteral("role"));
    const QString port = parser.value(QStringLiteral("port"));
    const Engine::Pace pace = paceNamed(parser.value(QStringLiteral("pace")));
    if (role == QStringLiteral("window-job"))
        return runWindowJob(port, pace, parser.value(QStringLiteral("file")));
    if (role == QStringLiteral("window-idle"))
        return runWindowIdle(port, pace, parser.value(QStringLiteral("seconds")).toInt());
    if (role == QStringLiteral("bare-loop"))
        return runBareLoop(port, parser.value(QStringLiteral("file")));
    if (role == QStringLiteral("poll-lateness"))
        return runPollLateness(parser.value(QStringLiteral("rounds")).toInt());
    say(QStringLiteral("bootline-bench: no role %1").arg(role));
    return 1;
}

} // namespace

int main(int argc, char *argv[])
{
    // Start-up is timed from outside, so this one does nothing before the program's own start.
    if (argc == 2 && std::strcmp(argv[1], "--first-paint") == 0)
        return runFirstPaint(argc, argv);

    // The simulator's port alias, and Qt's runtime folder where a session has
    // none, go to a folder of our own: nothing of the user's is touched. The
    // measurements run in processes of their own find them set.
    QTemporaryDir folder;
    const bool measuring = qEnvironmentVariableIsSet("BOOTLINE_BENCH_FOLDER");
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (!measuring) {
        qputenv("BOOTLINE_BENCH_FOLDER", folder.path().toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", folder.path().toLocal8Bit());
        qputenv("XDG_DATA_HOME", folder.path().toLocal8Bit());
    }
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        const QString runtime = folder.filePath(QStringLiteral("runtime"));
        QDir().mkpath(runtime);
        QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", runtime.toLocal8Bit());
    }
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Times Bootline against bootline-sim: both paces, window and bootline-cli, beside "
        "their floors and a bare Qt loop."));
    parser.addHelpOption();
    parser.addOptions({
        {"lines", "File sizes to time, in lines.", "N,N,...", "100,1000,9000"},
        {"poll-on-wire-lines", "Sizes also timed at the poll pace with the board on the wire.",
         "N,N,...", "100,1000"},
        {"ports-lines", "File size for the runs on several ports.", "N", "500"},
        {"idle-seconds", "How long the window idles with the port open.", "S", "10"},
        {"starts", "How many start-ups to time.", "N", "7"},
        {"results", "Where the Markdown report goes.", "FILE",
         BOOTLINE_SOURCE_DIR "/bench/results.md"},
        {"plot", "Where the plot goes (PNG).", "FILE", BOOTLINE_SOURCE_DIR "/bench/speed.png"},
        {"role", "Internal: one measurement in a process of its own.", "ROLE"},
        {"port", "Internal.", "NAME"},
        {"pace", "Internal.", "PACE", "poll"},
        {"file", "Internal.", "FILE"},
        {"seconds", "Internal.", "S"},
        {"rounds", "Internal.", "N"},
    });
    parser.process(app);
    if (parser.isSet(QStringLiteral("role")))
        return runRole(parser);

    Plan plan;
    plan.lines = lineCounts(parser.value(QStringLiteral("lines")));
    plan.pollOnWireLines = lineCounts(parser.value(QStringLiteral("poll-on-wire-lines")));
    plan.portsLines = parser.value(QStringLiteral("ports-lines")).toInt();
    plan.idleSeconds = parser.value(QStringLiteral("idle-seconds")).toInt();
    plan.starts = parser.value(QStringLiteral("starts")).toInt();
    plan.results = parser.value(QStringLiteral("results"));
    plan.plot = parser.value(QStringLiteral("plot"));
    if (plan.lines.isEmpty()) {
        say(QStringLiteral("bootline-bench: --lines takes sizes of 2 lines or more"));
        return 1;
    }

    Bench bench(plan, folder);
    Figures figures = bench.run();
    figures.command = QStringLiteral("make bench");
    if (argc > 1)
        figures.command =
            QStringLiteral("bootline-bench ") + QCoreApplication::arguments().mid(1).join(u' ');
    figures.machine = machine();

    std::printf("%s", qPrintable(textTables(figures)));
    const QString plotError = drawPlot(figures, plan.plot);
    if (!plotError.isEmpty())
        say(QStringLiteral("bootline-bench: no plot: %1").arg(plotError));
    QFile results(plan.results);
    if (!results.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        say(QStringLiteral("bootline-bench: cannot write %1: %2")
                .arg(plan.results, results.errorString()));
        return 1;
    }
    results.write(markdownReport(figures, QFileInfo(plan.plot).fileName()).toUtf8());
    say(QStringLiteral("written: %1, %2").arg(plan.results, plan.plot));
    for (const Target &target : figures.targets) {
        if (!target.met())
            return 2;
    }
    return 0;
}
