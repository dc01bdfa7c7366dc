#include "figures.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <optional>

namespace {

constexpr double PollFloorRatioLimit = 1.0; // no slower than the bare loop
constexpr double WireRatioLimit = 1.15;
constexpr double ReplyMsPerFrameLimit = 2;
constexpr double IdleCpuPercentLimit = 0.5;
constexpr double CpuPer1000FramesLimit =
    0.5; // the reply pace; the poll pace is held to the bare loop
constexpr double PollLatenessLimitMs = 0.35;
constexpr double LoadMsLimit = 20;
constexpr double StartupMsLimit = 300;
constexpr double TwoPortsLimit = 1.2;                    // two ports take at most this times one
constexpr double PeakRssLimitMiB = 60e6 / (1024 * 1024); // 60 MB

QString number(double value, int decimals)
{
    return QString::number(value, 'f', decimals);
}

double median(QList<double> values)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

std::optional<TimedJob> largest(const QList<TimedJob> &jobs)
{
    const auto most = std::max_element(
        jobs.begin(), jobs.end(), [](const auto &a, const auto &b) { return a.lines < b.lines; });
    return most == jobs.end() ? std::nullopt : std::optional(*most);
}

std::optional<TimedJob> withLines(const QList<TimedJob> &jobs, int lines)
{
    for (const TimedJob &job : jobs) {
        if (job.lines == lines)
            return job;
    }
    return std::nullopt;
}

// The worst of a figure over several timings.
template <typename Figure> double worst(const QList<TimedJob> &jobs, Figure figure)
{
    double result = 0;
    for (const TimedJob &job : jobs)
        result = std::max(result, figure(job));
    return result;
}

QList<QStringList> jobRows(const Figures &figures)
{
    QList<QStringList> rows;
    for (const TimedJob &job : figures.jobs) {
        rows << QStringList{
            job.face,
            job.pace,
            job.wirePacing ? QStringLiteral("115200") : QStringLiteral("at once"),
            QString::number(job.lines),
            QString::number(job.frames),
            number(job.seconds, 2),
            number(job.msPerFrame(), 3),
            job.floorSeconds > 0 ? number(job.floorSeconds, 2) : QStringLiteral("-"),
            job.floorSeconds > 0 ? number(job.floorRatio(), 3) : QStringLiteral("-"),
            number(job.cpuSeconds, 2),
            number(job.cpuPer1000Frames(), 3),
            number(job.peakRssMiB, 1)};
    }
    return rows;
}

const QStringList JobHeader{"face",     "pace",    "board",   "lines", "frames",     "seconds",
                            "ms/frame", "floor s", "× floor", "CPU s", "CPU s/1000", "RSS MiB"};

QList<QStringList> targetRows(const Figures &figures)
{
    QList<QStringList> rows;
    for (const Target &target : figures.targets) {
        rows << QStringList{target.what, number(target.measured, 3) + ' ' + target.unit,
                            number(target.limit, 3) + ' ' + target.unit, number(target.ratio(), 3),
                            target.met() ? QStringLiteral("met") : QStringLiteral("MISSED")};
    }
    return rows;
}

const QStringList TargetHeader{"target", "measured", "limit", "measured / limit", ""};

QString textTable(const QStringList &header, const QList<QStringList> &rows)
{
    QList<qsizetype> widths;
    for (const QString &cell : header)
        widths << cell.size();
    for (const QStringList &row : rows) {
        for (qsizetype i = 0; i < row.size(); ++i)
            widths[i] = std::max(widths[i], row[i].size());
    }
    QString text;
    const auto line = [&](const QStringList &cells) {
        QStringList padded;
        for (qsizetype i = 0; i < cells.size(); ++i)
            padded << (i == 0 ? cells[i].leftJustified(widths[i])
                              : cells[i].rightJustified(widths[i]));
        QString row = padded.join(QStringLiteral("  "));
        while (row.endsWith(u' '))
            row.chop(1);
        text += row + '\n';
    };
    line(header);
    for (const QStringList &row : rows)
        line(row);
    return text;
}

QString markdownTable(const QStringList &header, const QList<QStringList> &rows)
{
    QString text = "| " + header.join(" | ") + " |\n|";
    for (qsizetype i = 0; i < header.size(); ++i)
        text += i == 0 ? QStringLiteral("---|") : QStringLiteral("---:|");
    text += '\n';
    for (const QStringList &row : rows)
        text += "| " + row.join(" | ") + " |\n";
    return text;
}

const QStringList PortsHeader{"ports", "boards a port", "lines", "seconds"};

QList<QStringList> portsRows(const Figures &figures)
{
    QList<QStringList> rows;
    for (const PortsTiming &run : figures.portRuns)
        rows << QStringList{QString::number(run.ports), QString::number(run.boardsPerPort),
                            QString::number(run.lines), number(run.seconds, 2)};
    return rows;
}

// How long a run of the same boards on each port took, against one port.
double portsRatio(const Figures &figures, int ports)
{
    double one = 0;
    double several = 0;
    for (const PortsTiming &run : figures.portRuns) {
        if (run.boardsPerPort == 1 && run.ports == 1)
            one = run.seconds;
        if (run.boardsPerPort == 1 && run.ports == ports)
            several = run.seconds;
    }
    return one > 0 && several > 0 ? several / one : 0;
}

QString otherFigures(const Figures &figures)
{
    QStringList startups;
    for (const double ms : figures.startupMs)
        startups << number(ms, 0);
    return QStringLiteral("idle CPU with the port open: %1 % of a core (poll pace), %2 % (reply "
                          "pace)\npoll timer, a reply waking the loop first: %3 ms late (median), "
                          "%4 ms at the earliest\nload of a %5-line file into the window: %6 ms\n"
                          "start-up to the first painted window: %7 ms (median of %8)\n")
        .arg(number(figures.idleCpuPercentPoll, 3), number(figures.idleCpuPercentReply, 3),
             number(figures.pollLatenessMedianMs, 3), number(figures.pollLatenessEarliestMs, 3))
        .arg(figures.loadLines)
        .arg(number(figures.loadMs, 2), number(median(figures.startupMs), 0),
             startups.join(QStringLiteral(", ")));
}

} // namespace

QList<TimedJob> jobsOf(const QList<TimedJob> &jobs, const QString &face, const QString &pace,
                       bool wirePacing)
{
    QList<TimedJob> found;
    for (const TimedJob &job : jobs) {
        if (job.face == face && job.pace == pace && job.wirePacing == wirePacing)
            found << job;
    }
    return found;
}

QList<Target> targetsOf(const Figures &figures)
{
    QList<Target> targets;
    const QList<TimedJob> bare = jobsOf(figures.jobs, "bare loop", "poll", false);
    for (const QString &face : {QStringLiteral("window"), QStringLiteral("cli")}) {
        // The poll pace against the bare loop, a frame at a time, on the same files.
        for (const TimedJob &loop : bare) {
            if (const auto poll = withLines(jobsOf(figures.jobs, face, "poll", false), loop.lines))
                targets << Target{QStringLiteral("%1, poll pace, %2 lines: ms a frame, against "
                                                 "the bare loop's")
                                      .arg(face)
                                      .arg(loop.lines),
                                  poll->msPerFrame(), loop.msPerFrame() * PollFloorRatioLimit,
                                  "ms"};
        }
        const QList<TimedJob> wired = jobsOf(figures.jobs, face, "reply", true);
        if (!wired.isEmpty())
            targets << Target{face + ", reply pace on the wire: worst × wire floor",
                              worst(wired, [](const TimedJob &job) { return job.floorRatio(); }),
                              WireRatioLimit, "×"};
        const QList<TimedJob> atOnce = jobsOf(figures.jobs, face, "reply", false);
        if (!atOnce.isEmpty())
            targets << Target{face + ", reply pace, board at once: worst ms a frame",
                              worst(atOnce, [](const TimedJob &job) { return job.msPerFrame(); }),
                              ReplyMsPerFrameLimit, "ms"};
        // At the poll pace a face waits as the bare loop does: what it spends
        // besides is its own, a frame at a time, on the same file and board.
        for (const bool wirePacing : {false, true}) {
            for (const TimedJob &loop : jobsOf(figures.jobs, "bare loop", "poll", wirePacing)) {
                const auto poll =
                    withLines(jobsOf(figures.jobs, face, "poll", wirePacing), loop.lines);
                if (!poll)
                    continue;
                targets << Target{
                    QStringLiteral("%1, poll pace, board %2, %3 lines: CPU s per 1000 "
                                   "frames, against the bare loop's")
                        .arg(face, wirePacing ? "115200" : "at once")
                        .arg(loop.lines),
                    poll->cpuPer1000Frames(), loop.cpuPer1000Frames(), "s"};
            }
        }
        if (const auto job = largest(jobsOf(figures.jobs, face, "reply", false)))
            targets << Target{QStringLiteral("%1, reply pace, %2 lines: CPU s per 1000 frames")
                                  .arg(face)
                                  .arg(job->lines),
                              job->cpuPer1000Frames(), CpuPer1000FramesLimit, "s"};
        QList<TimedJob> all = jobsOf(figures.jobs, face, "poll", false);
        all += jobsOf(figures.jobs, face, "reply", false);
        all += jobsOf(figures.jobs, face, "reply", true);
        if (const auto job = largest(all)) {
            const int lines = job->lines;
            targets << Target{QStringLiteral("%1, peak RSS of a %2-line job").arg(face).arg(lines),
                              worst(all,
                                    [lines](const TimedJob &each) {
                                        return each.lines == lines ? each.peakRssMiB : 0;
                                    }),
                              PeakRssLimitMiB, "MiB"};
        }
    }
    targets << Target{"window, idle with the port open, poll pace: CPU", figures.idleCpuPercentPoll,
                      IdleCpuPercentLimit, "%"};
    targets << Target{"window, idle with the port open, reply pace: CPU",
                      figures.idleCpuPercentReply, IdleCpuPercentLimit, "%"};
    targets << Target{"poll timer, a reply waking the loop first: median lateness",
                      figures.pollLatenessMedianMs, PollLatenessLimitMs, "ms"};
    targets << Target{"poll timer: earliest tick, past its deadline",
                      figures.pollLatenessEarliestMs, 0, "ms", true};
    targets << Target{QStringLiteral("window, load of a %1-line file").arg(figures.loadLines),
                      figures.loadMs, LoadMsLimit, "ms"};
    targets << Target{"start-up to the first painted window (median)", median(figures.startupMs),
                      StartupMsLimit, "ms"};
    // A missing measurement counts as twice the time: it fails loudly.
    const double twoPorts = portsRatio(figures, 2);
    targets << Target{"cli, reply pace on the wire: two ports against one",
                      twoPorts > 0 ? twoPorts : 2, TwoPortsLimit, "×"};
    return targets;
}

QString textTables(const Figures &figures)
{
    return textTable(JobHeader, jobRows(figures)) + '\n' +
           textTable(PortsHeader, portsRows(figures)) + '\n' + otherFigures(figures) + '\n' +
           textTable(TargetHeader, targetRows(figures));
}

QString markdownReport(const Figures &figures, const QString &plotFile)
{
    QString text = QStringLiteral("# Bootline speed\n\nMeasured by `%1` on %2.\n\n")
                       .arg(figures.command, figures.machine);
    text += QStringLiteral(
        "Each job is a download and verify of a file of 16-byte records to bootline-sim on a "
        "pty, timed from the first line out to the last reply in; a job under 15 s is timed "
        "three times and the middle one kept. *board* is how the simulator "
        "answered: at once, or after the time the command and its reply take on a 115200 "
        "baud 8N1 wire. The floor of the poll pace is 2N × 20 ms; the floor of the reply pace "
        "on the wire is the transmit time of every line's frame and its reply, in both passes. "
        "CPU is user and system time: the window's and the bare loop's during the job, the "
        "terminal front end's for its whole run. The poll timer's lateness is measured as the "
        "poll meets it: started, a reply wakes the event loop half a millisecond later, and the "
        "tick is timed against its deadline.\n\n");
    text += markdownTable(JobHeader, jobRows(figures)) + '\n';
    text += QStringLiteral("bootline-cli on several ports at once, each port its own simulator "
                           "with its bus of boards, reply pace, on the wire; timed from the "
                           "first board's answer to the last board's end:\n\n");
    text += markdownTable(PortsHeader, portsRows(figures)) + '\n';
    for (const QString &line : otherFigures(figures).trimmed().split('\n'))
        text += "- " + line + '\n';
    text += '\n' + markdownTable(TargetHeader, targetRows(figures)) + '\n';
    text += QStringLiteral("![Seconds against lines](%1)\n").arg(plotFile);
    return text;
}

QString drawPlot(const Figures &figures, const QString &pngPath)
{
    struct Series {
        QString title;
        QList<TimedJob> jobs;
        bool floor;
    };
    const QList<Series> series{
        {"window, poll pace", jobsOf(figures.jobs, "window", "poll", false), false},
        {"cli, poll pace", jobsOf(figures.jobs, "cli", "poll", false), false},
        {"window, reply pace, 115200 wire", jobsOf(figures.jobs, "window", "reply", true), false},
        {"cli, reply pace, 115200 wire", jobsOf(figures.jobs, "cli", "reply", true), false},
        {"window, reply pace, board at once", jobsOf(figures.jobs, "window", "reply", false),
         false},
        {"floor of the poll pace: 2N x 20 ms", jobsOf(figures.jobs, "window", "poll", false), true},
        {"floor of the wire: 2N x (frame + reply)", jobsOf(figures.jobs, "window", "reply", true),
         true},
    };
    QTemporaryDir folder;
    QString script =
        QStringLiteral("set terminal pngcairo size 960,640 font 'DejaVu Sans,10'\nset output '%1'\n"
                       "set title 'Download and verify against bootline-sim on a pty'\n"
                       "set xlabel 'lines in the file'\nset ylabel 'seconds'\nset logscale xy\n"
                       "set grid\nset key top left\nplot ")
            .arg(pngPath);
    QStringList plots;
    for (qsizetype i = 0; i < series.size(); ++i) {
        QFile data(folder.filePath(QStringLiteral("series%1.dat").arg(i)));
        if (!data.open(QIODevice::WriteOnly))
            return QStringLiteral("cannot write %1").arg(data.fileName());
        for (const TimedJob &job : series[i].jobs)
            data.write(QStringLiteral("%1 %2\n")
                           .arg(job.lines)
                           .arg(series[i].floor ? job.floorSeconds : job.seconds)
                           .toUtf8());
        plots << QStringLiteral("'%1' with linespoints %2 title '%3'")
                     .arg(data.fileName(), series[i].floor ? "dashtype 2" : "", series[i].title);
    }
    script += plots.join(QStringLiteral(", \\\n     ")) + '\n';
    QProcess gnuplot;
    gnuplot.start(QStringLiteral("gnuplot"), {});
    if (!gnuplot.waitForStarted())
        return QStringLiteral("gnuplot is not installed (make deps installs it)");
    gnuplot.write(script.toUtf8());
    gnuplot.closeWriteChannel();
    gnuplot.waitForFinished();
    if (gnuplot.exitCode() != 0)
        return QStringLiteral("gnuplot failed: %1")
            .arg(QString::fromLocal8Bit(gnuplot.readAllStandardError()));
    return {};
}
