#pragma once

#include "engine/engine.h"

#include <QString>
#include <QStringList>
#include <variant>

class QSettings;

struct PaceChoice {
    Engine::Pace pace = Engine::Pace::Poll;
    int gapMs = 0;
};

// How the window paces a download, with no control of its own: the command
// line's --pace poll|reply and --gap MS, else the settings file's pace and
// gap, else the poll pace. What is wrong, in words, when a value is off.
std::variant<PaceChoice, QString> paceChoice(const QStringList &arguments,
                                             const QSettings &settings);
