#pragma once

#include "link/serialport.h"
#include "shared/runtimeerror.h"

#include <QList>
#include <QThread>
#include <functional>
#include <optional>

// An in-memory serial line: the test puts the board's bytes in `incoming` and
// reads what the window sent from `writes`.
class FakeSerialPort : public SerialPort {
public:
    QList<QByteArray> writes;
    QByteArray incoming;
    qint16 portNumber = 0;
    QString devicePath;
    std::optional<NetworkAddress> networkAddress;
    LineOptions lineOptions;
    bool refuseOpen = false;
    bool failWrites = false;
    bool lost = false;
    bool arrivalWatched = true;
    bool opensInBackground = false; // as a device server does: endOpen() ends it
    // An open that holds the calling thread so long, as a wedged adapter's
    // kernel call does.
    int openDelayMs = 0;
    std::function<void()> openReturned; // on the opening thread, as the open returns
    // The board on the line: its answer to each write, taken in at the next read.
    std::function<QByteArray(const QByteArray &written)> board;

    QByteArray written() const { return writes.join(); }

    void setTarget(const PortTarget &target) override
    {
        if (target.kind == PortTarget::Kind::Number && target.number < 1)
            throw RuntimeError(RuntimeError::InvalidPortNumber,
                               QStringLiteral("Invalid port number"));
        portNumber = target.kind == PortTarget::Kind::Number ? target.number : qint16(0);
        devicePath = target.kind == PortTarget::Kind::DevicePath ? target.devicePath : QString();
        networkAddress.reset();
        if (target.kind == PortTarget::Kind::Network)
            networkAddress = target.network;
    }
    void setLineOptions(const LineOptions &options) override { lineOptions = options; }
    void setOpen(bool open) override
    {
        if (open && openDelayMs > 0)
            QThread::msleep(openDelayMs);
        if (open && openReturned)
            openReturned();
        if (open && refuseOpen)
            throw RuntimeError(RuntimeError::PortNotAvailable,
                               QStringLiteral("Port not available"));
        m_opening = open && opensInBackground;
        m_open = open && !m_opening;
        lost = false;
    }
    bool isOpen() const override { return m_open; }
    bool isOpening() const override { return m_opening; }
    QString openingStep() const override { return QStringLiteral("Connecting"); }
    QString openFailure() const override { return m_openFailure; }
    void setOpenProgressHandler(const std::function<void()> &handler) override
    {
        m_openProgress = handler;
    }
    // The open in the background is over: open, or failed for that reason.
    void endOpen(const QString &failure = {})
    {
        m_opening = false;
        m_open = failure.isEmpty();
        m_openFailure = failure;
        m_openProgress();
    }
    bool isLost() const override { return lost; }
    qint16 charactersWaiting() override { return qint16(incoming.size()); }
    QByteArray readWaiting() override { return std::exchange(incoming, {}); }
    QByteArray peekWaiting() override { return incoming; }
    void setArrivalHandler(std::function<void()> handler) override
    {
        m_arrival = std::move(handler);
    }

    void setArrivalWatched(bool watched) override { arrivalWatched = watched; }

    // Bytes from the board, as the line brings them.
    void arrive(const QByteArray &bytes)
    {
        incoming += bytes;
        if (m_arrival && arrivalWatched)
            m_arrival();
    }
    void write(const QByteArray &bytes) override
    {
        if (failWrites)
            throw RuntimeError(RuntimeError::DeviceIoError, QStringLiteral("Device I/O error"));
        writes.append(bytes);
        if (board)
            incoming += board(bytes);
    }

private:
    bool m_open = false;
    bool m_opening = false;
    QString m_openFailure;
    std::function<void()> m_openProgress;
    std::function<void()> m_arrival;
};
