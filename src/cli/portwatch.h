#pragma once

#include "cli/options.h"

#include <QList>
#include <QString>

// A port name that stands for every device path it matches: "*", "?" or
// "[…]" in its last part, such as /dev/serial/by-id/usb-*.
bool isPortPattern(const QString &name);

// The ports of the plans present now, each with its plan's addresses: a
// pattern gives each device path it matches, in name order. COM<n> is there
// when the device its alias leads to is.
QList<PortPlan> portsPresent(const QList<PortPlan> &plans);
