#include "link/portdriver.h"

#include <QSerialPort>
#include <QThread>

#ifdef Q_OS_LINUX
#include <linux/serial.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstring>
#endif

namespace {

class SystemPortDriver : public PortDriver {
public:
    std::optional<bool> lowLatency(QSerialPort &port) override;
    bool setLowLatency(QSerialPort &port, bool on) override;
    std::variant<Rs485Setting, QString> rs485(QSerialPort &port) override;
    QString setRs485(QSerialPort &port, const Rs485Setting &setting) override;

    QString readModemLines(QSerialPort &port) override
    {
        port.clearError();
        port.pinoutSignals();
        return port.error() == QSerialPort::NoError ? QString() : port.errorString();
    }

    QString setDtr(QSerialPort &port, bool on) override
    {
        return port.setDataTerminalReady(on) ? QString() : port.errorString();
    }

    QString setRts(QSerialPort &port, bool on) override
    {
        return port.setRequestToSend(on) ? QString() : port.errorString();
    }

    void wait(int ms) override { QThread::msleep(ulong(ms)); }
};

#ifdef Q_OS_LINUX

QString lastSystemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

std::optional<bool> SystemPortDriver::lowLatency(QSerialPort &port)
{
    serial_struct serial{};
    if (::ioctl(port.handle(), TIOCGSERIAL, &serial) != 0)
        return std::nullopt;
    return (serial.flags & ASYNC_LOW_LATENCY) != 0;
}

bool SystemPortDriver::setLowLatency(QSerialPort &port, bool on)
{
    serial_struct serial{};
    if (::ioctl(port.handle(), TIOCGSERIAL, &serial) != 0)
        return false;
    if (on)
        serial.flags |= ASYNC_LOW_LATENCY;
    else
        serial.flags &= ~ASYNC_LOW_LATENCY;
    return ::ioctl(port.handle(), TIOCSSERIAL, &serial) == 0;
}

std::variant<Rs485Setting, QString> SystemPortDriver::rs485(QSerialPort &port)
{
    serial_rs485 kernel{};
    if (::ioctl(port.handle(), TIOCGRS485, &kernel) != 0)
        return lastSystemError();
    return Rs485Setting{(kernel.flags & SER_RS485_ENABLED) != 0,
                        (kernel.flags & SER_RS485_RTS_ON_SEND) != 0,
                        (kernel.flags & SER_RS485_RTS_AFTER_SEND) != 0,
                        int(kernel.delay_rts_before_send), int(kernel.delay_rts_after_send)};
}

// Over what the driver holds, so that the fields we do not know keep their values.
QString SystemPortDriver::setRs485(QSerialPort &port, const Rs485Setting &setting)
{
    serial_rs485 kernel{};
    if (::ioctl(port.handle(), TIOCGRS485, &kernel) != 0)
        return lastSystemError();
    const auto flag = [&kernel](__u32 bit, bool on) {
        kernel.flags = on ? kernel.flags | bit : kernel.flags & ~bit;
    };
    flag(SER_RS485_ENABLED, setting.enabled);
    flag(SER_RS485_RTS_ON_SEND, setting.rtsOnSend);
    flag(SER_RS485_RTS_AFTER_SEND, setting.rtsAfterSend);
    kernel.delay_rts_before_send = __u32(setting.delayBeforeSendMs);
    kernel.delay_rts_after_send = __u32(setting.delayAfterSendMs);
    if (::ioctl(port.handle(), TIOCSRS485, &kernel) != 0)
        return lastSystemError();
    return {};
}

#else

// Windows has no call for it: the adapter driver's latency timer is set in
// its settings (Device Manager, the port's advanced settings). The port is
// left as it is, like one on Linux without the setting.
std::optional<bool> SystemPortDriver::lowLatency(QSerialPort &)
{
    return std::nullopt;
}

bool SystemPortDriver::setLowLatency(QSerialPort &, bool)
{
    return false;
}

std::variant<Rs485Setting, QString> SystemPortDriver::rs485(QSerialPort &)
{
    return QStringLiteral("RS-485 mode is set in the adapter's driver settings");
}

QString SystemPortDriver::setRs485(QSerialPort &, const Rs485Setting &)
{
    return QStringLiteral("RS-485 mode is set in the adapter's driver settings");
}

#endif

} // namespace

std::unique_ptr<PortDriver> systemPortDriver()
{
    return std::make_unique<SystemPortDriver>();
}
