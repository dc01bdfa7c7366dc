#pragma once

#include "engine/engine.h"

#include <QCommandLineOption>
#include <QList>
#include <QString>
#include <QStringList>

class QSettings;

// How the window paces a download, with no control of its own: the command
// line's --pace poll|reply and --gap MS, else the settings file's pace and
// gap, else the poll pace with no gap. A value that is off never keeps the
// window from opening: it is left out, the next source counts instead, and
// ignored says so for the operator, naming where it was, the key and the value.
struct PaceChoice {
    Engine::Pace pace = Engine::Pace::Poll;
    int gapMs = 0;
    QStringList ignored; // one sentence per value left out
};

PaceChoice paceChoice(const QStringList &arguments, const QSettings &settings);

// --pace and --gap, for the parser and for --help.
QList<QCommandLineOption> paceOptions();
