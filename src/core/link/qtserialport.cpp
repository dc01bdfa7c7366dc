#include "link/qtserialport.h"

#include "link/linesequence.h"
#include "link/portname.h"
#include "shared/runtimeerror.h"

#include <QFile>
#include <QFileInfo>

#include <utility>

#ifdef Q_OS_UNIX
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace {

// Whether the device is still there is asked of the file system at most this
// often: each look is a system call, and the poll may come every 20 ms.
constexpr qint64 LookForDeviceMs = 200;

// Permission is refused for two reasons: the device's mode keeps us out, or
// another program (another Bootline too) has the port open or locked.
QString whyNoPermission(const QString &device)
{
#ifdef Q_OS_UNIX
    if (::access(QFile::encodeName(device).constData(), R_OK | W_OK) == 0)
        return QStringLiteral(" (another program has it open: close the port there, or give "
                              "another one)");
#else
    Q_UNUSED(device)
#endif
    return QStringLiteral(" (you may not use it: on Linux, join the dialout group and log in "
                          "again)");
}

// Qt keeps the notifier that reads the device as a child of the port. On
// Windows it reads with overlapped I/O instead: no notifier, so arrivals
// stay watched.
QSocketNotifier *readNotifierOf(QSerialPort &port)
{
#ifdef Q_OS_UNIX
    for (QSocketNotifier *notifier : port.findChildren<QSocketNotifier *>()) {
        if (notifier->type() == QSocketNotifier::Read && notifier->socket() == port.handle())
            return notifier;
    }
#else
    Q_UNUSED(port)
#endif
    return nullptr;
}

// Where a program cannot set RS-485 mode, the adapter's driver settings do.
QString noRs485Mode(const QString &port, const QString &refusal)
{
#ifdef Q_OS_LINUX
    return QStringLiteral("Port %1 has no RS-485 mode: its driver refused it (%2). Leave out "
                          "--rs485 (rs485= in the settings file) for a USB adapter that "
                          "switches by itself")
        .arg(port, refusal);
#else
    Q_UNUSED(refusal)
    return QStringLiteral("Port %1 is not put in RS-485 mode by Bootline on this system: set "
                          "the mode in the adapter's driver settings, and leave out --rs485 "
                          "(rs485= in the settings file)")
        .arg(port);
#endif
}

// A sequence's steps on the port's modem lines; a refusal fails the open.
class DriverModemLines : public ModemLines {
public:
    DriverModemLines(PortDriver &driver, QSerialPort &port, QString portName)
        : m_driver(driver), m_port(port), m_portName(std::move(portName))
    {
    }

    // The after sequence cannot fail the job that has ended: a port that
    // could not run it is found out on open instead.
    void checkLines() const
    {
        check(QStringLiteral("modem lines"), m_driver.readModemLines(m_port));
    }
    void setDtr(bool on) override
    {
        check(QStringLiteral("DTR line"), m_driver.setDtr(m_port, on));
    }
    void setRts(bool on) override
    {
        check(QStringLiteral("RTS line"), m_driver.setRts(m_port, on));
    }
    void wait(int ms) override { m_driver.wait(ms); }
    int waitTimerMs(int ms) override { return m_driver.waitTimerMs(ms); }

private:
    void check(const QString &line, const QString &refusal) const
    {
        if (refusal.isEmpty())
            return;
        throw RuntimeError(RuntimeError::PortNotAvailable,
                           QStringLiteral("Port %1 cannot drive its %2: its driver refused "
                                          "it (%3). Leave out --before and --after (before= "
                                          "and after= in the settings file) for a port without "
                                          "modem lines, such as a pseudo-terminal")
                               .arg(m_portName, line, refusal));
    }

    PortDriver &m_driver;
    QSerialPort &m_port;
    QString m_portName;
};

} // namespace

QtSerialPort::QtSerialPort(std::unique_ptr<PortDriver> driver)
    : m_driver(driver ? std::move(driver) : systemPortDriver())
{
    QObject::connect(&m_port, &QSerialPort::errorOccurred, &m_port,
                     [this](QSerialPort::SerialPortError error) { closeWhenBroken(error); });
    QObject::connect(&m_port, &QSerialPort::readyRead, &m_port, [this] {
        if (m_arrival && m_sequence == Sequence::None)
            m_arrival();
    });
}

// The kernel keeps a port's RS-485 mode and latency past its close: what we
// changed is put back, also when the program ends with the port open. A
// close sequence under way is finished first, or the board is left in the
// middle of it.
QtSerialPort::~QtSerialPort()
{
    m_openWhenClosed = false;
    if (m_sequence != Sequence::Closing)
        startClosing();
    if (m_sequence == Sequence::Closing) {
        try {
            m_lineSequence->finishNow();
        } catch (const RuntimeError &) {
        }
        endClosing();
    }
}

void QtSerialPort::setArrivalHandler(std::function<void()> handler)
{
    m_arrival = std::move(handler);
}

// At the poll pace the engine looks at the port on its own 20 ms beat, so a
// reply need not wake the program as well: that would be two wake-ups for
// each line instead of one. Qt Serial Port has no switch for it; its read
// notifier is turned off instead, and the bytes are read from the device
// when asked for. Where that notifier cannot be found, arrivals stay watched.
void QtSerialPort::setArrivalWatched(bool watched)
{
    if (m_arrivalWatched == watched)
        return;
    m_arrivalWatched = watched;
    applyArrivalWatch();
}

void QtSerialPort::applyArrivalWatch()
{
    if (!m_port.isOpen() || !m_readNotifier)
        return;
    if (!m_arrivalWatched && m_port.bytesAvailable() > 0)
        m_received += m_port.readAll(); // what Qt has read comes first
    m_readNotifier->setEnabled(m_arrivalWatched);
}

// Unwatched: what came since Qt last read, straight from the device. Bytes
// read already and not yet taken are handed on first; what came since waits
// for the next look, so a tick reads the device once.
void QtSerialPort::readUnwatched()
{
    if (m_arrivalWatched || !m_readNotifier || !m_port.isOpen())
        return;
    if (m_port.bytesAvailable() > 0)
        applyArrivalWatch(); // Qt turned its notifier on again and read
    if (!m_received.isEmpty())
        return;
#ifdef Q_OS_UNIX
    char bytes[ReceiveBufferSize];
    const ssize_t result = ::read(m_port.handle(), bytes, sizeof bytes);
    if (result > 0)
        m_received.append(bytes, result);
    else if (result < 0 ? errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR : hungUp())
        closeLost(); // as Qt does on a failed read: the device is gone
#endif
}

// Nothing read: nothing came, or the line was hung up (a pulled adapter, a
// closed pseudo-terminal), which reads as nothing too.
bool QtSerialPort::hungUp() const
{
#ifdef Q_OS_UNIX
    pollfd device{m_port.handle(), POLLIN, 0};
    return ::poll(&device, 1, 0) > 0 && (device.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
#else
    return false;
#endif
}

// The device is gone, and what it had been set to with it.
void QtSerialPort::closeLost()
{
    m_lost = true;
    m_lowLatencyTurnedOn = false;
    m_rs485Before.reset();
    m_port.close();
    m_received.clear();
}

// A device that went away (a USB adapter pulled out, a hung-up tty) reports
// errors over and over, at full speed, until the port is closed: close it at once.
void QtSerialPort::closeWhenBroken(QSerialPort::SerialPortError error)
{
    const bool broken = error == QSerialPort::ResourceError || error == QSerialPort::ReadError ||
                        error == QSerialPort::WriteError;
    if (broken && m_port.isOpen())
        closeLost();
}

bool QtSerialPort::isLost() const
{
#ifndef Q_OS_WIN
    if (m_port.isOpen() && (!m_sinceLookedForDevice.isValid() ||
                            m_sinceLookedForDevice.elapsed() >= LookForDeviceMs)) {
        m_sinceLookedForDevice.start();
        // A pulled adapter takes its device away, and udev its by-id link with it.
        if (!QFileInfo::exists(m_device) || !QFileInfo::exists(m_resolvedDevice))
            return true;
    }
#endif
    return m_lost;
}

void QtSerialPort::setTarget(const PortTarget &target)
{
    switch (target.kind) {
    case PortTarget::Kind::Number:
        if (target.number < 1)
            throw RuntimeError(RuntimeError::InvalidPortNumber,
                               QStringLiteral("Invalid port number %1: port numbers start at 1.")
                                   .arg(target.number));
        m_portNumber = target.number;
        m_devicePath.clear();
        return;
    case PortTarget::Kind::DevicePath:
        m_devicePath = target.devicePath;
        return;
    case PortTarget::Kind::Network:
        break;
    }
    throw RuntimeError(RuntimeError::PortNotAvailable,
                       QStringLiteral("Port %1 is on the network, not on this machine")
                           .arg(target.network.hostAndPort()));
}

bool QtSerialPort::isOpen() const
{
    return m_port.isOpen() && m_sequence != Sequence::Closing;
}

bool QtSerialPort::isOpening() const
{
    return m_sequence == Sequence::Opening || m_openWhenClosed;
}

QString QtSerialPort::openingStep() const
{
    if (m_openWhenClosed)
        return QStringLiteral("Finishing the close of %1").arg(name());
    if (m_sequence == Sequence::Opening)
        return QStringLiteral("Modem lines of %1").arg(name());
    return {};
}

void QtSerialPort::setOpenProgressHandler(const std::function<void()> &handler)
{
    m_openProgress = handler;
}

// Opened while the last close's sequence runs, the open begins as it ends.
void QtSerialPort::setOpen(bool open)
{
    m_received.clear();
    if (!open)
        return startClosing();
    if (isOpen() || isOpening())
        return;
    m_openFailure.clear();
    if (m_sequence == Sequence::Closing)
        m_openWhenClosed = true;
    else
        openDevice();
}

void QtSerialPort::openDevice()
{
    m_device = m_devicePath.isEmpty() ? deviceForPortNumber(m_portNumber) : m_devicePath;
    m_lost = false;
    m_resolvedDevice = m_device;
#ifndef Q_OS_WIN
    // Qt's lock file is named after the port name: an alias, a by-id link and
    // the device itself would each get a lock of their own and open together
    // (root is not stopped by the tty's exclusive mode either). The device
    // they lead to gets the lock instead. Not there: the open below says so.
    if (const QString device = QFileInfo(m_device).canonicalFilePath(); !device.isEmpty())
        m_resolvedDevice = device;
#endif
    m_port.setPortName(m_resolvedDevice);
    m_port.setBaudRate(QSerialPort::Baud115200);
    m_port.setDataBits(QSerialPort::Data8);
    m_port.setParity(QSerialPort::NoParity);
    m_port.setStopBits(QSerialPort::OneStop);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    m_port.setReadBufferSize(ReceiveBufferSize);
    if (!m_port.open(QIODevice::ReadWrite)) {
        QString hint;
        if (m_port.error() == QSerialPort::PermissionError)
            hint = whyNoPermission(m_resolvedDevice);
        else if (m_port.error() == QSerialPort::DeviceNotFoundError)
            hint = QStringLiteral(" (is the adapter plugged in?)");
        throw RuntimeError(RuntimeError::PortNotAvailable,
                           QStringLiteral("Port %1 cannot be opened: %2%3")
                               .arg(name(), m_port.errorString(), hint));
    }
    applyLineOptions();
    if (m_sequence == Sequence::None)
        finishOpening();
}

void QtSerialPort::finishOpening()
{
    // What came while the board started anew answers no question of ours.
    if (!m_lineOptions.afterOpen.isEmpty())
        m_port.clear(QSerialPort::Input);
    m_readNotifier = readNotifierOf(m_port);
    applyArrivalWatch();
}

// A wait of the open sequence is over, and the open with it: told to the
// open's handler, as is a refusal of a step after it.
void QtSerialPort::openSequenceEnded(const QString &failure)
{
    m_sequence = Sequence::None;
    m_lineSequence.reset();
    if (failure.isEmpty() && m_port.isOpen()) {
        finishOpening();
    } else {
        m_openFailure = failure.isEmpty() ? QStringLiteral("Port %1 went away while its modem "
                                                           "lines were set")
                                                .arg(name())
                                          : failure;
        restoreLineSettings();
        m_port.close();
    }
    tellOpenProgress();
}

void QtSerialPort::tellOpenProgress()
{
    if (m_openProgress)
        m_openProgress();
}

// Low latency where the driver offers it (a refusal is no error: most
// built-in UARTs and every pty have none), then RS-485, then the sequence.
// What the port cannot do closes it again, put back as it was.
void QtSerialPort::applyLineOptions()
{
    if (m_lineOptions.lowLatency && m_driver->lowLatency(m_port) == false)
        m_lowLatencyTurnedOn = m_driver->setLowLatency(m_port, true);
    try {
        if (m_lineOptions.rs485) {
            const auto before = m_driver->rs485(m_port);
            if (const QString *refusal = std::get_if<QString>(&before))
                throw RuntimeError(RuntimeError::PortNotAvailable, noRs485Mode(name(), *refusal));
            Rs485Setting wanted = std::get<Rs485Setting>(before);
            wanted.enabled = true;
            wanted.rtsOnSend = true;
            wanted.rtsAfterSend = false;
            wanted.delayBeforeSendMs = m_lineOptions.rs485->delayBeforeSendMs;
            wanted.delayAfterSendMs = m_lineOptions.rs485->delayAfterSendMs;
            if (const QString refusal = m_driver->setRs485(m_port, wanted); !refusal.isEmpty())
                throw RuntimeError(RuntimeError::PortNotAvailable,
                                   QStringLiteral("Port %1 refused the RS-485 mode asked for: %2 "
                                                  "(delays of %3 and %4 ms)")
                                       .arg(name(), refusal)
                                       .arg(wanted.delayBeforeSendMs)
                                       .arg(wanted.delayAfterSendMs));
            m_rs485Before = std::get<Rs485Setting>(before);
        }
        auto lines = std::make_unique<DriverModemLines>(*m_driver, m_port, name());
        if (!m_lineOptions.beforeClose.isEmpty())
            lines->checkLines();
        m_modemLines = std::move(lines);
        startSequence(Sequence::Opening, m_lineOptions.afterOpen);
    } catch (const RuntimeError &) {
        m_lineSequence.reset();
        m_modemLines.reset();
        restoreLineSettings();
        m_port.close();
        throw;
    }
}

// Sets the lines up to the first wait; the rest runs on a timer, and
// m_sequence says which it is until it ends.
void QtSerialPort::startSequence(Sequence which, const LineSequence &steps)
{
    m_lineSequence =
        std::make_unique<TimedLineSequence>(steps, *m_modemLines, [this](const QString &failure) {
            if (m_sequence == Sequence::Opening)
                openSequenceEnded(failure);
            else
                endClosing();
        });
    if (m_lineSequence->start())
        m_lineSequence.reset();
    else
        m_sequence = which;
}

void QtSerialPort::restoreLineSettings()
{
    if (m_rs485Before)
        m_driver->setRs485(m_port, *std::exchange(m_rs485Before, std::nullopt));
    if (std::exchange(m_lowLatencyTurnedOn, false))
        m_driver->setLowLatency(m_port, false);
}

// The job has ended, done or not: the sequence cannot keep the port open,
// and a refusal there has nobody left to tell. An open under way is given
// up unheard, its sequence with it.
void QtSerialPort::startClosing()
{
    m_openWhenClosed = false;
    if (m_sequence == Sequence::Closing || !m_port.isOpen())
        return;
    if (std::exchange(m_sequence, Sequence::None) == Sequence::Opening)
        return endClosing();
    try {
        startSequence(Sequence::Closing, m_lineOptions.beforeClose);
    } catch (const RuntimeError &) {
        m_sequence = Sequence::None;
    }
    if (m_sequence == Sequence::None)
        endClosing();
}

void QtSerialPort::endClosing()
{
    m_sequence = Sequence::None;
    m_lineSequence.reset();
    m_modemLines.reset();
    restoreLineSettings();
    m_port.close();
    if (!std::exchange(m_openWhenClosed, false))
        return;
    try {
        openDevice();
    } catch (const RuntimeError &refused) {
        m_openFailure = refused.description();
    }
    if (m_sequence == Sequence::None)
        tellOpenProgress();
}

QString QtSerialPort::name() const
{
    if (!m_devicePath.isEmpty())
        return m_devicePath;
    return QStringLiteral("COM%1 (%2)").arg(m_portNumber).arg(m_device);
}

qint16 QtSerialPort::charactersWaiting()
{
    readUnwatched();
    return qint16(qMin<qint64>(m_received.size() + m_port.bytesAvailable(), 32767));
}

QByteArray QtSerialPort::readWaiting()
{
    readUnwatched();
    QByteArray bytes = std::exchange(m_received, {});
    if (m_port.bytesAvailable() > 0)
        bytes += m_port.readAll();
    return bytes;
}

QByteArray QtSerialPort::peekWaiting()
{
    readUnwatched();
    return m_received + m_port.peek(m_port.bytesAvailable());
}

// Written through at once, not on the next turn of the event loop: the board
// gets the line sooner. Straight to the device while nothing waits to go out
// before it: Qt's own way queues the bytes and sets a write notifier, which
// wakes the program twice more for each line it sends. What the device
// cannot take at once goes Qt's way, out as it drains.
void QtSerialPort::write(const QByteArray &bytes)
{
    qsizetype written = 0;
#ifdef Q_OS_UNIX
    if (m_port.isOpen() && m_port.bytesToWrite() == 0) {
        const ssize_t result = ::write(m_port.handle(), bytes.constData(), size_t(bytes.size()));
        if (result >= 0) {
            written = result;
        } else if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            // As Qt does on a failed write: the device is gone, the next poll says so.
            closeLost();
            return;
        }
    }
#endif
    if (written == bytes.size())
        return;
    const QByteArray rest = bytes.mid(written);
    const bool queued = m_port.write(rest) == rest.size();
    m_port.flush(); // what the device cannot take yet goes out as it drains
    if (!queued)
        throw RuntimeError(
            RuntimeError::DeviceIoError,
            QStringLiteral("Device I/O error on %1: %2").arg(name(), m_port.errorString()));
}
