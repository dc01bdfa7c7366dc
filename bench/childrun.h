#pragma once

#include <QByteArray>
#include <QList>
#include <QStringList>

struct rusage;

// A program run to its end, with what the kernel counted for it alone.
struct ChildRun {
    struct Line {
        double atSeconds; // since the start, when the line reached us
        QByteArray text;  // without its line end
    };
    QList<Line> lines; // standard output, line by line as it came
    int exitCode = -1; // -1: it did not exit normally
    double wallSeconds = 0;
    double cpuSeconds = 0; // user and system
    double peakRssMiB = 0;

    // The first line that starts with prefix, or null.
    const Line *find(const QByteArray &prefix) const;
    // The number after "key=" on the first line that has it; -1 when none does.
    double value(const QByteArray &key) const;
};

// User and system time together, in seconds.
double cpuSecondsOf(const rusage &usage);

// Runs program with arguments; its standard error passes through to ours.
ChildRun runChild(const QString &program, const QStringList &arguments);
