#pragma once

#include <QList>
#include <QString>

// One download and verify, timed.
struct TimedJob {
    QString face;            // "window", "cli" or "bare loop"
    QString pace;            // "poll" or "reply"
    bool wirePacing = false; // the simulator held each reply for the wire's time
    int lines = 0;
    int frames = 0;          // written by the program
    double seconds = 0;      // first line out to last reply in
    double cpuSeconds = 0;   // window and bare loop: during the job; cli: the whole run
    double peakRssMiB = 0;   // the whole process
    double floorSeconds = 0; // what the pace cannot beat here; 0: none given

    double msPerFrame() const { return frames > 0 ? 1000 * seconds / frames : 0; }
    double floorRatio() const { return floorSeconds > 0 ? seconds / floorSeconds : 0; }
    double cpuPer1000Frames() const { return frames > 0 ? 1000 * cpuSeconds / frames : 0; }
};

// bootline-cli on several ports at once, each with its bus of boards.
struct PortsTiming {
    int ports = 0;
    int boardsPerPort = 0;
    int lines = 0;
    double seconds = 0; // the first board's answer to the last board's end
};

// A figure held against its limit.
struct Target {
    QString what;
    double measured = 0;
    double limit = 0;
    QString unit;
    bool higherIsBetter = false;

    double ratio() const { return limit != 0 ? measured / limit : 0; }
    bool met() const { return higherIsBetter ? measured >= limit : measured <= limit; }
};

struct Figures {
    QString command; // how the run was started
    QString machine;
    QList<TimedJob> jobs;
    QList<PortsTiming> portRuns; // reply pace, boards on the wire
    double idleCpuPercentPoll = 0;
    double idleCpuPercentReply = 0;
    // How late the poll's timer ticked, a reply having woken the loop just
    // before each tick: the median and the earliest, in ms past the deadline.
    double pollLatenessMedianMs = 0;
    double pollLatenessEarliestMs = 0;
    double loadMs = 0; // the largest file, into the window
    int loadLines = 0;
    QList<double> startupMs; // each start, in order
    QList<Target> targets;
};

// The timings that match, in the order they were taken.
QList<TimedJob> jobsOf(const QList<TimedJob> &jobs, const QString &face, const QString &pace,
                       bool wirePacing);

// The targets the figures are held to, each worked out from the same run.
QList<Target> targetsOf(const Figures &figures);

// The tables, as plain text for a terminal and as Markdown for results.md.
QString textTables(const Figures &figures);
QString markdownReport(const Figures &figures, const QString &plotFile);

// Draws seconds against lines with gnuplot; what went wrong, or empty.
QString drawPlot(const Figures &figures, const QString &pngPath);
