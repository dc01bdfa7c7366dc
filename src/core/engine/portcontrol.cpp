#include "engine/engine.h"
#include "engine/panelcolours.h"
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
    m_panel->setStatus(m_port->openingStep());
    swapPortButtons();
}

void Engine::openProgressed()
{
    if (!m_awaitingOpen)
        return;
    if (m_port->isOpening())
        return m_panel->setStatus(m_port->openingStep());
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
    m_panel->setLampShown(true);
    m_panel->setPortBoxColour(Colour::Green);
    state.downloadRequested = false;
    state.probeCount = 1;
    if (m_address != QStringLiteral("0")) // only a lone 0 keeps the probe off
        m_probeTimer->setEnabled(true);
    m_panel->setAddressButtonCaption(state.scanning ? QStringLiteral("Next")
                                                    : QStringLiteral("Set Addr"));
    state.downloading = false;
    m_panel->setStatus(QStringLiteral("Ready"));
    m_panel->setProgressPosition(0);
    setBarColourAfresh();
    swapPortButtons();
    state.forgetReceived();
    startPoll();
    emit portOpened();
}

// Green and red tell how a job ended: a new download starts on this again,
// so the bar never says "done" for a job not yet verified.
void Engine::setBarColourAfresh()
{
    m_panel->setBarColour(Colour::Navy);
}

void Engine::openFailed(const std::exception &error)
{
    m_portError = QString::fromUtf8(error.what());
    if (const auto *runtimeError = dynamic_cast<const RuntimeError *>(&error))
        m_portError = runtimeError->description();
    emit message(m_portName +
                 QStringLiteral(" Not available! Use Serial settings to setup your ports."));
    m_panel->setStatus(QStringLiteral("Not present board"));
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
    m_panel->setProgressText(QStringLiteral("NO FILE"));
    m_panel->setStatus(QStringLiteral("Closed"));
    m_panel->setAnswer(QString());
    state.verifying = false;
    state.downloading = false;
    m_port->setOpen(false);
    m_panel->setPortBoxColour(Colour::WindowBackground);
    m_panel->setLampShown(false);
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
    // A number shows with a blank in front, where a minus sign would go.
    m_panel->setStatus(QStringLiteral("WAIT Connect: ") + u' ' + QString::number(state.probeCount));
    if (state.probeCount > m_policy.probeAttempts) {
        m_probeTimer->setEnabled(false); // before the message: no further tick while it is up
        emit message(m_portName + QStringLiteral(" Not connect !"));
        m_panel->setStatus(QStringLiteral("Not present board"));
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
