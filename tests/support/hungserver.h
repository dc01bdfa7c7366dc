#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

// A TCP port on loopback that takes connections (the kernel does) and never
// answers them: a database server that hangs. Or, with its queue full, one
// whose connects never complete: a device server switched off, or a host
// that drops packets.
class HungServer {
public:
    enum class Connects { Taken, Never };

    explicit HungServer(Connects connects = Connects::Taken)
    {
        const int backlog = connects == Connects::Taken ? 16 : 0;
        m_socket = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        auto *any = reinterpret_cast<sockaddr *>(&address);
        if (m_socket >= 0 && ::bind(m_socket, any, length) == 0 &&
            ::listen(m_socket, backlog) == 0 && ::getsockname(m_socket, any, &length) == 0)
            m_port = ntohs(address.sin_port);
        // One connection of its own fills a queue of none: the kernel drops
        // every later SYN, so their connects hang.
        if (connects == Connects::Never && m_port != 0) {
            m_filler = ::socket(AF_INET, SOCK_STREAM, 0);
            if (::connect(m_filler, any, length) != 0)
                m_port = 0;
        }
    }
    ~HungServer()
    {
        if (m_filler >= 0)
            ::close(m_filler);
        if (m_socket >= 0)
            ::close(m_socket);
    }
    HungServer(const HungServer &) = delete;
    HungServer &operator=(const HungServer &) = delete;

    int port() const { return m_port; } // 0 when it could not listen

private:
    int m_socket = -1;
    int m_filler = -1;
    int m_port = 0;
};
