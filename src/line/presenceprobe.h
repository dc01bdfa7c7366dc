#pragma once

#include "link/lineoptions.h"
#include "link/serialport.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>

class Engine;

// Whether a board answers on a port, asked quietly between a station's jobs:
// opens the port, probes, closes it again.
class PresenceProbe : public QObject {
    Q_OBJECT
public:
    enum class Outcome {
        Answered, // a board answered
        Silent,   // the port opened, and nothing answered
        // The port would not open, or another program had it open while no
        // answer came (it may have read the answer): no news of the board.
        Busy,
        PortMissing, // its device is gone
        Unreachable, // a network port's server took no connection
    };

    // address: the address box text, empty to scan (attempts probes, 200 ms
    // apart). At an address: attempts questions one after the other, each
    // waiting replyTimeoutMs for the board's answer. lineOptions: the jobs'.
    // serialPort: empty, the real one.
    PresenceProbe(const QString &port, const QString &address, bool plain, int replyTimeoutMs,
                  int attempts, const LineOptions &lineOptions,
                  std::unique_ptr<SerialPort> serialPort = {});
    ~PresenceProbe() override;

    void start();

signals:
    // address: where the board answered.
    void finished(PresenceProbe::Outcome outcome, const QString &address);

private:
    void opened();
    void ask();
    void unansweredInTime();
    void end(Outcome outcome, const QString &address = {});
    Outcome unopened() const;

    std::unique_ptr<Engine> m_engine;
    QString m_address;
    int m_attempts;
    int m_asked = 0;
    bool m_heldByAnother = false; // while a question went unanswered
    QTimer m_answerDue;
    bool m_ended = false;
};
