#pragma once

#include "link/lineoptions.h"
#include "link/porttarget.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <functional>

// The serial line to the board: 115200 baud, 8 data bits, no parity, 1 stop
// bit, chosen by a port number, a device path or a serial device server's
// network address. Reception is polled; nothing
// here waits. Refusals (a bad number, a port that cannot be opened) raise a
// RuntimeError that says why.
class SerialPort {
public:
    virtual ~SerialPort() = default;

    // The port the next open opens; one this kind of port cannot reach is refused.
    virtual void setTarget(const PortTarget &target) = 0;
    // Applied from the next open on; what a port cannot do fails that open.
    virtual void setLineOptions(const LineOptions &options) = 0;
    virtual void setOpen(bool open) = 0;
    virtual bool isOpen() const = 0;
    // A port that takes a while to open (a device server's connect and
    // set-up, a reset sequence's waits) returns from setOpen(true) with
    // isOpening() true, and calls the handler at each step of the open and
    // once as it ends: open, or closed with openFailure() saying why.
    // Closing meanwhile gives the open up, and the handler hears nothing.
    virtual bool isOpening() const { return false; }
    virtual QString openingStep() const { return {}; } // what the open waits for, in words
    virtual QString openFailure() const { return {}; }
    virtual void setOpenProgressHandler(const std::function<void()> & /*handler*/) {}
    // True once an open port has failed for good: the device went away.
    virtual bool isLost() const = 0;

    // Received bytes not yet taken.
    virtual qint16 charactersWaiting() = 0;
    // Takes every received byte.
    virtual QByteArray readWaiting() = 0;
    // Every received byte not yet taken, left in place.
    virtual QByteArray peekWaiting() = 0;
    // Called whenever bytes come in, for those who take them at once.
    virtual void setArrivalHandler(std::function<void()> handler) = 0;
    // Whether the handler is wanted. Off, bytes are still kept and read as
    // above, but their coming does not wake the program: for a reader that
    // looks on a beat of its own anyway.
    virtual void setArrivalWatched(bool watched) = 0;
    // Sends the bytes in order; returns without waiting for an answer.
    virtual void write(const QByteArray &bytes) = 0;
};
