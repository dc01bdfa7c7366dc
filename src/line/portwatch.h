#pragma once

#include "line/runoptions.h"

#include <QList>
#include <QString>
#include <QStringList>

#ifdef Q_OS_UNIX
#include <sys/types.h>
#endif

// A port name that stands for every device path it matches: "*", "?" or
// "[…]" in its last part, such as /dev/serial/by-id/usb-*.
bool isPortPattern(const QString &name);

// Whether the device the name leads to is there: a path, or COM<n>'s alias.
bool isPortPresent(const QString &name);

// The ports of the plans present now, each with its plan's addresses: a
// pattern gives each device it matches, in name order (character devices
// only, each one that isStationPort allows, a name as much as a pattern).
// A device that two names lead to is taken once, by the first name.
QList<PortPlan> portsPresent(const QList<PortPlan> &plans);

// The name among the plans' that leads to the same device as name; empty
// when none does, or name leads nowhere yet.
QString sameDeviceAs(const QList<PortPlan> &plans, const QString &name);

// The ports of the plans among the port names the system lists (COM3 and
// the like, as Windows names them): where there are no device numbers, a
// port is its name. COM<n> in any spelling of n (COM05 is COM5), letters in
// either case; a pattern gives each listed name it matches, COM2 before
// COM10; a port that two names lead to is taken once, by the first name.
// Network ports are always there. What portsPresent is on Windows.
QList<PortPlan> portsAmongNames(const QList<PortPlan> &plans, QStringList listed);

#ifdef Q_OS_UNIX
// Whether a station may open the device numbered so: never the terminals
// of the machine (/dev/tty, /dev/console, the virtual consoles tty0 to
// tty63), the pty master ptmx (opening it makes a new pty), nor any device
// in ownTerminals. Numbers, not names: a link or another name leads to the
// same device.
bool isStationPort(dev_t device, const QList<dev_t> &ownTerminals);

// The program's own terminals: that of its standard streams, where one is
// a terminal, and its controlling terminal.
QList<dev_t> ownTerminals();
#endif

// Whether a program other than this one has the device the name leads to
// open, and so may read what comes in on it. Whoever holds a pty's master
// is its far end, the line itself, not such a program. Never on Windows,
// where a port is open to one program at a time: the open says so instead.
bool heldByAnotherProgram(const QString &name);
