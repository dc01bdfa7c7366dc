#pragma once

#include "link/linesequence.h"
#include "link/serialport.h"

#include <QTcpSocket>
#include <QTimer>
#include <memory>

class TelnetComPort;

// A serial port on a serial device server, reached over TCP: raw
// (socket://) or through Telnet's COM port control option (rfc2217://).
// The server going away counts as a lost port, like a pulled adapter.
class NetworkPort : public SerialPort {
public:
    // How long an open waits for the server to accept and set the line up.
    static constexpr int ConnectTimeoutMs = 5000;

    // Tests give a shorter wait, for servers that never answer.
    explicit NetworkPort(int connectTimeoutMs = ConnectTimeoutMs);
    ~NetworkPort() override;

    void setTarget(const PortTarget &target) override; // a local port is refused
    void setLineOptions(const LineOptions &options) override { m_lineOptions = options; }
    // Opening connects, agrees on the line and runs the open sequence
    // without waiting: each step is told to the open's handler.
    void setOpen(bool open) override;
    bool isOpen() const override { return m_open; }
    bool isLost() const override { return m_lost; }
    bool isOpening() const override { return m_opening != Opening::No; }
    QString openingStep() const override;
    QString openFailure() const override { return m_openFailure; }
    void setOpenProgressHandler(const std::function<void()> &handler) override;
    qint16 charactersWaiting() override;
    QByteArray readWaiting() override;
    QByteArray peekWaiting() override;
    void setArrivalHandler(std::function<void()> handler) override;
    void setArrivalWatched(bool watched) override { m_arrivalWatched = watched; }
    void write(const QByteArray &bytes) override;

private:
    enum class Opening { No, FinishingClose, Connecting, AgreeingOnLine, RunningSequence };

    void connectToServer();
    QString refusedLineOptions() const; // empty: none
    void connected();
    void connectFailed(QAbstractSocket::SocketError error);
    void checkLineAgreement();
    void openTimedOut();
    void startOpenSequence();
    void opened();
    void step(Opening opening); // and tell the open's handler
    ModemLines &modemLines();
    void close();
    void endClose();
    bool takeIncoming(); // true when payload came
    void sendToServer(const QByteArray &bytes);
    void loseConnection();
    QString url() const; // for messages
    void failOpen(const QString &why);

    QTcpSocket m_socket;
    std::unique_ptr<TelnetComPort> m_telnet; // rfc2217:// only, one per connection
    NetworkAddress m_address;
    LineOptions m_lineOptions;
    int m_connectTimeoutMs;
    bool m_open = false;
    bool m_lost = false;
    Opening m_opening = Opening::No;
    bool m_inSetOpen = false; // a failure now is thrown, not told
    QString m_openFailure;
    QTimer m_openDeadline;
    std::unique_ptr<ModemLines> m_modemLines; // while a sequence runs
    std::unique_ptr<TimedLineSequence> m_openSequence;
    std::unique_ptr<TimedLineSequence> m_closeSequence; // the port is closed, the line not yet
    std::function<void()> m_openProgress;
    std::function<void()> m_arrival;
    bool m_arrivalWatched = true;
    QByteArray m_received; // payload not yet taken
};
