#include "engine/engine.h"
#include "engine/timer.h"
#include "link/porttarget.h"
#include "protocol/commands.h"
#include "shared/counter.h"
#include "shared/runtimeerror.h"

void Engine::openPort()
{
    state.scanning = m_address.isEmpty();
    try {
        choosePort();
        m_port->setOpen(true);
        if (m_port->isOpening())
            return awaitOpen();
        finishOpening();
    } catch (const std::exception &error) {
        openFailed(error);
    }
}

void Engine::choosePort()
{
    const auto target = portTargetOfName(m_portName);
    if (const auto *refusal = std::get_if<QString>(&target))
        throw RuntimeError(RuntimeError::PortNameRefused,
                           QStringLiteral("Type mismatch: ") + *refusal);
    m_port->setTarget(std::get<PortTarget>(target));
}

// A port that takes its time (a device server): the window goes on, the
// status says what the open waits for, and Close Port gives it up.
void Engine::awaitOpen()
{
    m_awaitingOpen = true;
    emit portOpening(m_port->openingStep());
    swapPortButtons();
}

void Engine::openProgressed()
{
    if (!m_awaitingOpen)
        return;
    if (m_port->isOpening())
        return emit portOpening(m_port->openingStep());
    m_awaitingOpen = false;
    swapPortButtons(); // as they were before Open Port: its end sets them
    try {
        if (!m_port->isOpen())
            throw RuntimeError(RuntimeError::PortNotAvailable, m_port->openFailure());
        finishOpening();
    } catch (const std::exception &error) {
        openFailed(error);
    }
}

void Engine::finishOpening()
{
    m_portError.clear();
    m_versionReply.clear();
    state.downloadRequested = false;
    state.probeCount = 1;
    if (m_address != QStringLiteral("0")) // only a lone 0 keeps the probe off
        m_probeTimer->setEnabled(true);
    state.downloading = false;
    swapPortButtons();
    state.forgetReceived();
    startPoll();
    emit portOpened();
}

void Engine::openFailed(const std::exception &error)
{
    m_portError = QString::fromUtf8(error.what());
    if (const auto *runtimeError = dynamic_cast<const RuntimeError *>(&error))
        m_portError = runtimeError->description();
    emit message(m_portName +
                 QStringLiteral(" Not available! Use Serial settings to setup your ports."));
    m_probeTimer->setEnabled(false);
    emit portOpenFailed(m_portError);
}

void Engine::closePort()
{
    m_awaitingOpen = false; // an open under way is given up
    const Pass pass = currentPass();
    m_probeTimer->setEnabled(false);
    m_pollTimer->setEnabled(false);
    m_replyWatchTimer->setEnabled(false);
    m_commandWatchTimer->setEnabled(false);
    m_replyGapTimer->setEnabled(false);
    m_commandAwaited.reset();
    state.verifying = false;
    state.downloading = false;
    m_port->setOpen(false);
    emit portClosed();
    swapPortButtons();
    // The HEX file is never left open: the loader closes it on every path.
    endJob(JobResult::Outcome::Stopped, pass);
}

void Engine::unload()
{
    endJob(JobResult::Outcome::Stopped, currentPass()); // the window closed in the middle of it
    if (m_port->isOpen() || m_port->isOpening())
        m_port->setOpen(false);
}

void Engine::portLost()
{
    const Pass pass = currentPass();
    endJob(JobResult::Outcome::DeviceLost, pass);
    closePort();
    emit deviceLost();
    emit message(QStringLiteral("The port %1 was lost: %2, then press Open Port.")
                     .arg(m_portName, whyPortWasLost(m_portName)));
}

void Engine::swapPortButtons()
{
    emit portButtonsSwapped();
}

void Engine::probeTick()
{
    const bool probing = m_probeTimer->isEnabled();
    takeWaitingReplies(); // the answer to the last probe may be in already
    if (probing && !m_probeTimer->isEnabled())
        return;
    emit probeDue(state.probeCount);
    if (state.probeCount > m_policy.probeAttempts) {
        m_probeTimer->setEnabled(false); // before the message: no further tick while it is up
        emit message(m_portName + QStringLiteral(" Not connect !"));
        state.probeCount = 1;
        emit probeGaveUp(m_policy.probeAttempts);
        return;
    }
    if (state.scanning)
        writeAddress(QString::number(state.probeCount)); // the address this probe goes to
    QByteArray probe = Command::Query;
    writeFrame(probe);
    emit probeSent(m_address, state.probeCount, m_policy.probeAttempts);
    increment(state.probeCount);
}
