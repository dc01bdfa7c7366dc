#include "line/presenceprobe.h"

#include "engine/engine.h"
#include "line/portwatch.h"
#include "link/networkaddress.h"

PresenceProbe::PresenceProbe(const QString &port, const QString &address, bool plain,
                             int replyTimeoutMs, int attempts, const LineOptions &lineOptions,
                             std::unique_ptr<SerialPort> serialPort)
    : m_engine(std::make_unique<Engine>(std::move(serialPort))), m_address(address),
      m_attempts(attempts)
{
    m_engine->setPortName(port);
    // At an address, a lone 0 opens the port with the engine's own probe off
    // (one question each 200 ms): a slow board would get several, and its
    // late answers would reach the job after us. We ask once, and wait.
    m_engine->setAddress(address.isEmpty() ? address : QStringLiteral("0"));
    m_engine->setRtu(!plain);
    // The port as the job has it, sequences too: a board that enters its
    // loader only after a reset answers no look without one, and a flashed
    // board that runs its firmware would seem to have left, and be found, and
    // flashed, again at the next reset. So each look resets the board, and
    // lets it go into its firmware again.
    m_engine->setLineOptions(lineOptions);
    JobPolicy policy = JobPolicy::unattended(replyTimeoutMs, 0);
    policy.probeAttempts = attempts;
    m_engine->setPolicy(policy);
    m_answerDue.setSingleShot(true);
    m_answerDue.setInterval(replyTimeoutMs);
    connect(&m_answerDue, &QTimer::timeout, this, &PresenceProbe::unansweredInTime);
    connect(m_engine.get(), &Engine::portOpened, this, &PresenceProbe::opened);
    connect(m_engine.get(), &Engine::portOpenFailed, this, [this] { end(unopened()); });
    connect(m_engine.get(), &Engine::boardFound, this,
            [this](const QString &found, const QByteArray &) {
                end(Outcome::Answered, found.isEmpty() ? m_engine->address() : found);
            });
    // Any reply is the board's, a late one to an earlier question too.
    connect(m_engine.get(), &Engine::replyTaken, this, [this](const QByteArray &reply) {
        if (m_address.isEmpty() || reply.isEmpty())
            return;
        // Not from inside the engine's reading: end() closes its port.
        QMetaObject::invokeMethod(
            this, [this] { end(Outcome::Answered, m_address); }, Qt::QueuedConnection);
    });
    connect(m_engine.get(), &Engine::probeGaveUp, this, [this] { end(Outcome::Silent); });
    connect(m_engine.get(), &Engine::deviceLost, this, [this] { end(unopened()); });
}

PresenceProbe::~PresenceProbe() = default;

void PresenceProbe::start()
{
    m_engine->run([this] { m_engine->openPort(); });
}

void PresenceProbe::opened()
{
    if (!m_address.isEmpty()) {
        m_engine->setAddress(m_address);
        ask();
    }
}

void PresenceProbe::ask()
{
    ++m_asked;
    m_answerDue.start();
    m_engine->run([this] { m_engine->queryBoard(); });
}

// Another program that has the port open may have read the answer: a
// question unanswered then says nothing of the board.
void PresenceProbe::unansweredInTime()
{
    if (m_ended)
        return;
    m_heldByAnother = m_heldByAnother || heldByAnotherProgram(m_engine->portName());
    if (m_asked < m_attempts)
        return ask();
    end(m_heldByAnother ? Outcome::Busy : Outcome::Silent);
}

// A port that would not open, or failed, is gone only when its device is:
// one that is busy (another program has it open) tells nothing of the board.
PresenceProbe::Outcome PresenceProbe::unopened() const
{
    if (isNetworkPortName(m_engine->portName()))
        return Outcome::Unreachable;
    return isPortPresent(m_engine->portName()) ? Outcome::Busy : Outcome::PortMissing;
}

// Said once the engine's procedure has returned: whoever hears it may drop us.
void PresenceProbe::end(Outcome outcome, const QString &address)
{
    if (m_ended)
        return;
    m_ended = true;
    m_answerDue.stop();
    m_engine->run([this] { m_engine->closePort(); });
    QMetaObject::invokeMethod(
        this, [this, outcome, address] { emit finished(outcome, address); }, Qt::QueuedConnection);
}
