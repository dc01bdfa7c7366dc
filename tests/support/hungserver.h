#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

// A TCP port on loopback that takes connections (the kernel does) and never
// answers them: a database server that hangs.
class HungServer {
public:
    HungServer()
    {
        m_socket = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        auto *any = reinterpret_cast<sockaddr *>(&address);
        if (m_socket >= 0 && ::bind(m_socket, any, length) == 0 && ::listen(m_socket, 16) == 0 &&
            ::getsockname(m_socket, any, &length) == 0)
            m_port = ntohs(address.sin_port);
    }
    ~HungServer()
    {
        if (m_socket >= 0)
            ::close(m_socket);
    }
    HungServer(const HungServer &) = delete;
    HungServer &operator=(const HungServer &) = delete;

    int port() const { return m_port; } // 0 when it could not listen

private:
    int m_socket = -1;
    int m_port = 0;
};
