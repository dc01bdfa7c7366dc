#pragma once

#include "cli/options.h"

#include <QList>
#include <QString>

// A port name that stands for every device path it matches: "*", "?" or
// "[…]" in its last part, such as /dev/serial/by-id/usb-*.
bool isPortPattern(const QString &name);

// Whether the device the name leads to is there: a path, or COM<n>'s alias.
bool isPortPresent(const QString &name);

// The ports of the plans present now, each with its plan's addresses: a
// pattern gives each device it matches, in name order (character devices
// only, and never the pty master ptmx, which makes a new pty when opened).
// A device that two names lead to is taken once, by the first name.
QList<PortPlan> portsPresent(const QList<PortPlan> &plans);

// The name among the plans' that leads to the same device as name; empty
// when none does, or name leads nowhere yet.
QString sameDeviceAs(const QList<PortPlan> &plans, const QString &name);
