#pragma once

#include <QObject>
#include <QString>

#include <memory>

class Engine;

// Whether a board answers on a port, asked quietly between a station's jobs:
// opens the port, probes, closes it again.
class PresenceProbe : public QObject {
    Q_OBJECT
public:
    enum class Outcome { Answered, Silent, PortMissing };

    // address: the address box text, empty to scan; attempts: probes, 200 ms apart.
    PresenceProbe(const QString &port, const QString &address, bool plain, int attempts);
    ~PresenceProbe() override;

    void start();

signals:
    // address: where the board answered.
    void finished(PresenceProbe::Outcome outcome, const QString &address);

private:
    void end(Outcome outcome, const QString &address = {});

    std::unique_ptr<Engine> m_engine;
    bool m_ended = false;
};
