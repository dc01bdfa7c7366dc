#pragma once

#include <QString>

#include <cstdio>

// Makes sure standard input, output and error are open before anything else
// opens a file. A service manager may start us with them closed; the next
// socket or file would then take their numbers, and our own output would land
// in it (the signal watcher would read a progress line as a signal). Each
// closed one is opened onto /dev/null. Call it first thing in main().
void guardStandardStreams();

// Text for a person, in the terminal's encoding.
void printTo(std::FILE *stream, const QString &text);

// A line on standard error after the program's name, as "bootline-station: ...".
void warnOnStderr(const QString &text);
