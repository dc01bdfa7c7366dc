#pragma once

#include "link/linesequence.h"
#include "link/portdriver.h"
#include "link/serialport.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QSerialPort>
#include <QSocketNotifier>

#include <memory>
#include <optional>

// The serial line on a real device through Qt Serial Port.
class QtSerialPort : public SerialPort {
public:
    static constexpr qint64 ReceiveBufferSize = 1024;

    // driver: the system calls of the line options; empty: this system's.
    explicit QtSerialPort(std::unique_ptr<PortDriver> driver = {});
    ~QtSerialPort() override;

    void setTarget(const PortTarget &target) override; // a network port is refused
    void setLineOptions(const LineOptions &options) override { m_lineOptions = options; }
    // A sequence's waits run on timers: the open and the close return at once.
    void setOpen(bool open) override;
    bool isOpen() const override;
    bool isOpening() const override;
    QString openingStep() const override;
    QString openFailure() const override { return m_openFailure; }
    void setOpenProgressHandler(const std::function<void()> &handler) override;
    bool isLost() const override;
    qint16 charactersWaiting() override;
    QByteArray readWaiting() override;
    QByteArray peekWaiting() override;
    void setArrivalHandler(std::function<void()> handler) override;
    void setArrivalWatched(bool watched) override;
    void write(const QByteArray &bytes) override;

private:
    void closeWhenBroken(QSerialPort::SerialPortError error);
    void applyArrivalWatch();
    void closeLost();
    void readUnwatched();
    bool hungUp() const;
    QString name() const;                           // for messages
    enum class Sequence { None, Opening, Closing }; // which one runs on its timers

    void openDevice();
    void applyLineOptions();
    void startSequence(Sequence which, const LineSequence &steps);
    void openSequenceEnded(const QString &failure);
    void finishOpening();
    void tellOpenProgress();
    void restoreLineSettings();
    void startClosing();
    void endClosing();

    QSerialPort m_port;
    QString m_device;         // what is open, by the name it was given or its alias
    QString m_resolvedDevice; // the device that name leads to, locked while open
    QString m_devicePath;     // given as it stands; empty: by port number
    qint16 m_portNumber = 0;
    LineOptions m_lineOptions;
    std::unique_ptr<PortDriver> m_driver;
    // What the open port had before we changed it, to be put back on close.
    bool m_lowLatencyTurnedOn = false;
    std::optional<Rs485Setting> m_rs485Before;
    bool m_lost = false;
    std::unique_ptr<ModemLines> m_modemLines; // while the port is open
    std::unique_ptr<TimedLineSequence> m_lineSequence;
    Sequence m_sequence = Sequence::None;
    bool m_openWhenClosed = false; // opened again while the close's sequence ran
    QString m_openFailure;
    std::function<void()> m_openProgress;
    mutable QElapsedTimer m_sinceLookedForDevice;
    std::function<void()> m_arrival;
    bool m_arrivalWatched = true;
    QPointer<QSocketNotifier> m_readNotifier; // Qt's, while the port is open
    // Bytes taken from Qt's buffer or the device while arrivals go unwatched;
    // older than anything Qt holds.
    QByteArray m_received;
};
