#pragma once

#include <QString>

// Each line goes out at once, so a script reading our output sees it as it happens.
void printLine(const QString &line);

// On stderr, after the program's name.
void printError(const QString &message);
