#pragma once

#include "link/serialport.h"

// A serial port on a serial device server, reached over TCP: raw
// (socket://) or through Telnet's COM port control option (rfc2217://).
class NetworkPort : public SerialPort {
public:
    // How long an open waits for the server to accept before it fails.
    static constexpr int ConnectTimeoutMs = 5000;

    NetworkPort();
    ~NetworkPort() override;

    void setPortNumber(qint16 portNumber) override;
    void setDevicePath(const QString &path) override;
    void setNetworkAddress(const NetworkAddress &address) override;
    void setLineOptions(const LineOptions &options) override;
    void setOpen(bool open) override;
    bool isOpen() const override;
    bool isLost() const override;
    qint16 charactersWaiting() override;
    QByteArray readWaiting() override;
    QByteArray peekWaiting() override;
    void setArrivalHandler(std::function<void()> handler) override;
    void setArrivalWatched(bool watched) override;
    void write(const QByteArray &bytes) override;

private:
    NetworkAddress m_address;
    bool m_open = false;
};
