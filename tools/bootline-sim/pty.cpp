#include "bootline-sim/pty.h"

#include <QFile>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace {

QString failed(const char *step)
{
    return QStringLiteral("cannot set up a pseudo-terminal: %1: %2")
        .arg(QLatin1String(step), QString::fromLocal8Bit(std::strerror(errno)));
}

} // namespace

Pty::~Pty()
{
    // Closing the master is what tells the host its port is gone.
    if (m_master >= 0)
        ::close(m_master);
    if (m_slave >= 0)
        ::close(m_slave);
}

bool Pty::open(QString *error)
{
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0) {
        *error = failed("posix_openpt");
        return false;
    }
    if (::fcntl(m_master, F_SETFD, FD_CLOEXEC) != 0 ||
        ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK) != 0) {
        *error = failed("fcntl");
        return false;
    }
    if (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) {
        *error = failed("grantpt/unlockpt");
        return false;
    }
    const char *name = ::ptsname(m_master);
    if (!name) {
        *error = failed("ptsname");
        return false;
    }
    m_slavePath = QFile::decodeName(name);
    m_slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_slave < 0) {
        *error = failed("open");
        return false;
    }
    // No echo, no line editing, no CR LF translation: the bytes as they are.
    termios settings;
    if (::tcgetattr(m_slave, &settings) != 0) {
        *error = failed("tcgetattr");
        return false;
    }
    ::cfmakeraw(&settings);
    ::cfsetspeed(&settings, B115200);
    if (::tcsetattr(m_slave, TCSANOW, &settings) != 0) {
        *error = failed("tcsetattr");
        return false;
    }
    return true;
}
