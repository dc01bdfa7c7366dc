#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>

// Port names on the window are "COM" and a number, or a device path.

// A name that begins with "/" is a device path, opened as it stands.
inline bool isDevicePath(const QString &portName)
{
    return portName.startsWith(u'/');
}

// The port number of a name: everything from its fourth character on, blanks
// around it allowed, must read as a number that rounds into 16 bits
// ("COM3" -> 3, "COM 3" -> 3, "COM" / "COMX" / "COM99999" -> none).
std::optional<qint16> portNumberOfName(const QString &portName);

// The serial device behind port number n. On Unix an alias
// $XDG_CONFIG_HOME/bootline/ports/COM<n> (normally a symlink to a device) wins;
// otherwise /dev/ttyS<n-1>. On Windows, COM<n> itself.
QString deviceForPortNumber(int portNumber);

// Where the aliases live on Unix.
QString portAliasFolder();
