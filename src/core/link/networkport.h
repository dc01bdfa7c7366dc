#pragma once

#include "link/serialport.h"

#include <QTcpSocket>
#include <memory>

class TelnetComPort;

// A serial port on a serial device server, reached over TCP: raw
// (socket://) or through Telnet's COM port control option (rfc2217://).
// The server going away counts as a lost port, like a pulled adapter.
class NetworkPort : public SerialPort {
public:
    // How long an open waits for the server to accept before it fails.
    static constexpr int ConnectTimeoutMs = 5000;

    // Tests give a shorter wait, for servers that never answer.
    explicit NetworkPort(int connectTimeoutMs = ConnectTimeoutMs);
    ~NetworkPort() override;

    void setPortNumber(qint16 portNumber) override;   // refused: not a network name
    void setDevicePath(const QString &path) override; // refused: not a network name
    void setNetworkAddress(const NetworkAddress &address) override;
    void setLineOptions(const LineOptions &options) override { m_lineOptions = options; }
    void setOpen(bool open) override;
    bool isOpen() const override { return m_open; }
    bool isLost() const override { return m_lost; }
    qint16 charactersWaiting() override;
    QByteArray readWaiting() override;
    QByteArray peekWaiting() override;
    void setArrivalHandler(std::function<void()> handler) override;
    void setArrivalWatched(bool watched) override { m_arrivalWatched = watched; }
    void write(const QByteArray &bytes) override;

private:
    void refuseLineOptions() const;
    void connectToServer();
    void agreeOnLine();
    void runModemLines(const LineSequence &sequence);
    void close();
    bool takeIncoming(); // true when payload came
    void sendToServer(const QByteArray &bytes);
    void loseConnection();
    QString url() const; // for messages
    [[noreturn]] void failOpen(const QString &why);

    QTcpSocket m_socket;
    std::unique_ptr<TelnetComPort> m_telnet; // rfc2217:// only, one per connection
    NetworkAddress m_address;
    LineOptions m_lineOptions;
    int m_connectTimeoutMs;
    bool m_open = false;
    bool m_lost = false;
    std::function<void()> m_arrival;
    bool m_arrivalWatched = true;
    QByteArray m_received; // payload not yet taken
};
