#pragma once

#include "engine/engine.h"

#include <QString>

// What the bench runs in a process of its own, so that the kernel counts its
// time and memory apart. Each prints key=value lines for the bench to read.

// The window, offscreen, through a whole download and verify of file:
// load_ms, job_seconds, job_cpu_seconds, frames.
int runWindowJob(const QString &port, Engine::Pace pace, const QString &file);

// The window with its port open and the board found, left alone for
// seconds: idle_cpu_percent.
int runWindowIdle(const QString &port, Engine::Pace pace, int seconds);

// A bare Qt loop over the same frames the window sends: write one, restart a
// 20 ms timer, read, and again: job_seconds, job_cpu_seconds, frames.
int runBareLoop(const QString &port, const QString &file);

// The poll's on-time timer started afresh rounds times, a reply waking the
// event loop half a millisecond after each start, as a board's does:
// lateness_median_ms, lateness_earliest_ms, past each deadline.
int runPollLateness(int rounds);

// Bootline as it starts, up to its first painted window: prints "painted".
int runFirstPaint(int argc, char *argv[]);
