#include "cli/presenceprobe.h"

#include "cli/portwatch.h"
#include "engine/engine.h"

PresenceProbe::PresenceProbe(const QString &port, const QString &address, bool plain, int attempts)
    : m_engine(std::make_unique<Engine>())
{
    m_engine->setPortName(port);
    m_engine->setAddress(address);
    m_engine->setRtu(plain ? 0 : 1);
    JobPolicy policy = JobPolicy::unattended(1000, 0);
    policy.probeAttempts = attempts;
    m_engine->setPolicy(policy);
    connect(m_engine.get(), &Engine::boardFound, this,
            [this](const QString &found, const QByteArray &) {
                end(Outcome::Answered, found.isEmpty() ? m_engine->address() : found);
            });
    connect(m_engine.get(), &Engine::probeGaveUp, this, [this] { end(Outcome::Silent); });
    connect(m_engine.get(), &Engine::deviceLost, this, [this] { end(unanswered()); });
}

PresenceProbe::~PresenceProbe() = default;

void PresenceProbe::start()
{
    m_engine->run([this] { m_engine->openPort(); });
    if (!m_engine->portError().isEmpty())
        end(unanswered());
}

// A port that would not open, or failed, is gone only when its device is:
// one that is busy (another program has it open) tells nothing of the board.
PresenceProbe::Outcome PresenceProbe::unanswered() const
{
    return isPortPresent(m_engine->portName()) ? Outcome::Busy : Outcome::PortMissing;
}

// Said once the engine's procedure has returned: whoever hears it may drop us.
void PresenceProbe::end(Outcome outcome, const QString &address)
{
    if (m_ended)
        return;
    m_ended = true;
    m_engine->run([this] { m_engine->closePort(); });
    QMetaObject::invokeMethod(
        this, [this, outcome, address] { emit finished(outcome, address); }, Qt::QueuedConnection);
}
