#pragma once

#include "link/networkport.h"
#include "link/qtserialport.h"
#include "link/serialport.h"

#include <utility>

// The real port, of whichever kind its name chose: a local serial device, or
// a serial device server on the network. The engine never knows which.
class AnyPort : public SerialPort {
public:
    void setTarget(const PortTarget &target) override;
    void setLineOptions(const LineOptions &options) override;
    void setOpen(bool open) override;
    bool isOpen() const override { return m_chosen->isOpen(); }
    bool isLost() const override { return m_chosen->isLost(); }
    bool isOpening() const override { return m_chosen->isOpening(); }
    QString openingStep() const override { return m_chosen->openingStep(); }
    QString openFailure() const override { return m_chosen->openFailure(); }
    void setOpenProgressHandler(const std::function<void()> &handler) override
    {
        m_local.setOpenProgressHandler(handler);
        m_network.setOpenProgressHandler(handler);
    }
    qint16 charactersWaiting() override { return m_chosen->charactersWaiting(); }
    QByteArray readWaiting() override { return m_chosen->readWaiting(); }
    QByteArray peekWaiting() override { return m_chosen->peekWaiting(); }
    void setArrivalHandler(std::function<void()> handler) override;
    void setArrivalWatched(bool watched) override;
    void write(const QByteArray &bytes) override { m_chosen->write(bytes); }

private:
    void choose(SerialPort &port);

    QtSerialPort m_local;
    NetworkPort m_network;
    SerialPort *m_chosen = &m_local;
};
