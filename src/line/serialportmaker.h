#pragma once

#include "link/serialport.h"

#include <QString>

#include <functional>
#include <memory>

// Makes the serial port a port's engine talks through, on the port's own
// thread. Empty: the real one. Tests give fakes.
using SerialPortMaker = std::function<std::unique_ptr<SerialPort>(const QString &port)>;

inline std::unique_ptr<SerialPort> makeSerialPort(const SerialPortMaker &maker, const QString &port)
{
    return maker ? maker(port) : nullptr;
}
