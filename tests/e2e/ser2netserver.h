#pragma once

#include <QProcess>
#include <QString>

// ser2net in front of a serial device, as a production line puts a port on
// the network: one raw TCP accepter and one Telnet accepter with the COM
// port control option, each on a free port of 127.0.0.1. Its config holds
// nothing back: ser2net's default waits for a pause after each byte from
// the device before it sends, about a millisecond for every reply.
class Ser2NetServer {
public:
    static QString program(); // empty when ser2net is not installed

    // The config goes to folder; isReady() once both ports listen.
    Ser2NetServer(const QString &device, const QString &folder);
    ~Ser2NetServer();
    Ser2NetServer(const Ser2NetServer &) = delete;
    Ser2NetServer &operator=(const Ser2NetServer &) = delete;

    bool isReady() const { return m_ready; }
    QString socketUrl() const; // socket://127.0.0.1:PORT
    QString rfc2217Url() const;
    void stop(); // its own process only
    QString output();

private:
    QProcess m_process;
    quint16 m_rawPort = 0;
    quint16 m_telnetPort = 0;
    bool m_ready = false;
};

// A port of 127.0.0.1 that nobody listens on, at least for now.
quint16 freeLoopbackPort();
