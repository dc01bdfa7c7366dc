#include "engine/engine.h"

#include "engine/timer.h"
#include "link/anyport.h"
#include "shared/runtimeerror.h"

Engine::Engine(std::unique_ptr<SerialPort> port, QObject *parent)
    : QObject(parent), m_port(std::move(port)),
      m_probeTimer(new Timer(JobTiming::ProbeEveryMs, this)),
      m_pollTimer(new Timer(JobTiming::PollEveryMs, this, Timer::Accuracy::OnTime)),
      m_replyWatchTimer(new Timer(JobTiming::ReplyTimeoutMs, this)),
      m_commandWatchTimer(new Timer(JobTiming::ReplyTimeoutMs, this)),
      m_replyGapTimer(new Timer(0, this)), m_portName(QStringLiteral("COM3")),
      m_newAddress(QStringLiteral("10"))
{
    if (!m_port)
        m_port = std::make_unique<AnyPort>();
    m_probeTimer->setObjectName(QStringLiteral("ProbeTimer"));
    m_pollTimer->setObjectName(QStringLiteral("PollTimer"));
    m_replyWatchTimer->setObjectName(QStringLiteral("ReplyWatch"));
    m_replyWatchTimer->setSingleShot(true);
    m_commandWatchTimer->setObjectName(QStringLiteral("CommandWatch"));
    m_commandWatchTimer->setSingleShot(true);
    m_replyGapTimer->setObjectName(QStringLiteral("ReplyGap"));
    m_replyGapTimer->setSingleShot(true);
    m_port->setOpenProgressHandler([this] { run([this] { openProgressed(); }); });
    m_port->setArrivalHandler([this] {
        wakePoll();
        run([this] { bytesArrived(); });
    });
    connect(m_probeTimer, &Timer::timeout, this, [this] { run([this] { probeTick(); }); });
    connect(m_pollTimer, &Timer::timeout, this, [this] { run([this] { pollTimerFired(); }); });
    connect(m_replyWatchTimer, &Timer::timeout, this, [this] { run([this] { replyOverdue(); }); });
    connect(m_commandWatchTimer, &Timer::timeout, this,
            [this] { run([this] { commandOverdue(); }); });
    connect(m_replyGapTimer, &Timer::timeout, this, [this] { run([this] { takeRepliesNow(); }); });
}

Engine::~Engine() = default;

void Engine::run(const std::function<void()> &action)
{
    try {
        action();
    } catch (const RuntimeError &error) {
        emit errorReported(error.number(), error.description());
    } catch (const std::bad_alloc &) {
        emit errorReported(RuntimeError::OutOfMemory, QStringLiteral("Out of memory."));
    } catch (const std::exception &error) {
        emit errorReported(
            RuntimeError::InternalError,
            QStringLiteral("Internal error: %1").arg(QString::fromLocal8Bit(error.what())));
    }
}

void Engine::setPace(Pace pace, int gapMs)
{
    m_pace = pace;
    m_replyGapMs = gapMs;
    watchArrivals();
}

void Engine::setPolicy(const JobPolicy &policy)
{
    m_policy = policy;
    m_replyWatchTimer->setInterval(policy.replyTimeoutMs);
}

// The job is over: its result goes to the faces, once. Ended by a reply, it
// goes once the rest of that read has been handed on: a reply behind the
// job's last answer still counts against it (replyBehindTheEnd).
void Engine::endJob(JobResult::Outcome outcome, Pass pass)
{
    if (!m_jobRunning)
        return;
    m_jobRunning = false;
    m_lineDue = false; // what the job's replies called for is over with it
    m_job.outcome = outcome;
    m_job.pass = pass;
    m_job.line = m_replyWatch.line();
    m_job.lineSendings = m_replyWatch.sendings();
    m_job.answeredOkNotDownload = m_replyWatch.lastLineWasAnsweredOk();
    m_job.verifiedInStep = m_verifyLedger.acknowledged();
    (m_job.pass == Pass::Verify ? m_job.verifyMs : m_job.downloadMs) = m_passClock.elapsed();
    m_jobEndPending = m_handingOn;
    afterReplies([this] {
        m_jobEndPending = false;
        emit jobEnded(m_job);
    });
}
