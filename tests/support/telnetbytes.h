#pragma once

#include <QByteArray>
#include <initializer_list>

// Telnet bytes as the tests of the COM port control option write them.

inline QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray result;
    for (const int value : values)
        result.append(char(value));
    return result;
}

// IAC SB COM-PORT-OPTION command value IAC SE; a server's answer to a
// setting is the setting's command plus 100.
inline QByteArray comPortCommand(int command, const QByteArray &value)
{
    return bytes({255, 250, 44, command}) + value + bytes({255, 240});
}

// The server's yes to each setting of 115200 8N1 without flow control.
inline QByteArray lineConfirmed()
{
    return comPortCommand(101, bytes({0, 1, 0xC2, 0})) + comPortCommand(102, bytes({8})) +
           comPortCommand(103, bytes({1})) + comPortCommand(104, bytes({1})) +
           comPortCommand(105, bytes({1}));
}
