#pragma once

#include <QString>

#include <memory>
#include <optional>
#include <variant>

class QSerialPort;

// The kernel's RS-485 setting of a port, the part of it we change.
struct Rs485Setting {
    bool enabled = false;
    bool rtsOnSend = false;    // RTS up while sending: the transmitter is on
    bool rtsAfterSend = false; // RTS up after sending
    int delayBeforeSendMs = 0;
    int delayAfterSendMs = 0;

    bool operator==(const Rs485Setting &) const = default;
};

// The system calls a local port's line options need, on an open port. The
// real ones talk to the driver; tests put a fake in their place. A refusal
// comes back in the system's words, such as "Inappropriate ioctl for device".
class PortDriver {
public:
    virtual ~PortDriver() = default;

    // Whether received bytes go up at once rather than when the adapter's
    // latency timer runs out; nothing: the driver has no such setting.
    virtual std::optional<bool> lowLatency(QSerialPort &port) = 0;
    virtual bool setLowLatency(QSerialPort &port, bool on) = 0;

    virtual std::variant<Rs485Setting, QString> rs485(QSerialPort &port) = 0;
    virtual QString setRs485(QSerialPort &port, const Rs485Setting &setting) = 0; // empty: done

    // Reads DTR and RTS, changing nothing: whether the driver has modem lines.
    virtual QString readModemLines(QSerialPort &port) = 0;  // empty: it has
    virtual QString setDtr(QSerialPort &port, bool on) = 0; // empty: done
    virtual QString setRts(QSerialPort &port, bool on) = 0;
    // Holds the program up: a sequence's wait where it cannot be a timer's.
    virtual void wait(int ms) = 0;
    // How long a timer runs for a wait of ms: a fake clock passes it at once.
    virtual int waitTimerMs(int ms) { return ms; }
};

// This system's: Linux's ioctls; elsewhere no low latency and no RS-485.
std::unique_ptr<PortDriver> systemPortDriver();
