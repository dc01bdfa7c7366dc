#pragma once

#include <QString>
#include <QtGlobal>
#include <variant>

// A serial port on a serial device server, named as a URL:
// socket://HOST:PORT (the bytes as they are, over TCP) or rfc2217://HOST:PORT
// (Telnet with the COM port control option, which also sets the line up).
struct NetworkAddress {
    enum class Protocol { RawSocket, Rfc2217 };
    Protocol protocol = Protocol::RawSocket;
    QString host;
    quint16 port = 0;

    QString hostAndPort() const; // "host:port", "[::1]:port", for messages
};

// How a port is reached, as records and reports name it.
enum class PortReach { Local, Socket, Rfc2217 };
QString portReachName(PortReach reach); // "local", "socket", "rfc2217"
PortReach portReachOfName(const QString &portName);

// Why an open port failed for good, and what to look at: "the device went
// away. Check the cable or adapter", or the same of a device server.
QString whyPortWasLost(const QString &portName);

// Whether a name is meant as a network port: it begins with a scheme such as
// "socket://" (any scheme, so that a misspelt one is refused, not taken for
// COM and a number).
bool isNetworkPortName(const QString &portName);

// The address in a network port name, or why it is none: an unknown scheme,
// no host, no port or one out of 1 to 65535, a user or password, a path.
std::variant<NetworkAddress, QString> networkAddressOfName(const QString &portName);
