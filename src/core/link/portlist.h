#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// A serial port present on this machine, as an operator picks one.
struct PresentPort {
    QString device;       // such as /dev/ttyUSB0, or COM4 on Windows
    QString description;  // what the system calls it, for USB the product; may be empty
    QString manufacturer; // the adapter's maker, as it tells; may be empty
    QString usbId;        // VID:PID in hex, for a USB adapter
    QString serialNumber; // the adapter's own, when it has one
    QStringList aliases;  // the COM<n> names that lead to it
};

// The serial ports the system lists, and the devices the COM<n> aliases lead
// to that it does not list (a simulated board's pty, say).
QList<PresentPort> presentPorts();

// One line for a port: device, product and maker, USB id, serial number,
// aliases, such as "/dev/ttyUSB0, FT232R USB UART by FTDI, USB 0403:6001,
// serial number A50285BI, as COM3". The adapter's words are made visible,
// never sent raw to a terminal.
QString describePort(const PresentPort &port);
