#pragma once

#include "link/networkaddress.h"

#include <QString>
#include <QtGlobal>
#include <variant>

// What a port name names, read once: a local port by its number (COM<n>), a
// device by its path, or a serial device server by its address.
struct PortTarget {
    enum class Kind { Number, DevicePath, Network };
    Kind kind = Kind::Number;
    qint16 number = 0;      // Number
    QString devicePath;     // DevicePath: opened as it stands
    NetworkAddress network; // Network
};

// The forms a port name takes, for the messages that list them.
QString portNameForms();

// The target of a name as the window reads it: a path as it stands, a URL
// as a network port, anything else as COM and a number from its fourth
// character on. Otherwise why it names none.
std::variant<PortTarget, QString> portTargetOfName(const QString &portName);
