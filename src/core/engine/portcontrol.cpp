#include "engine/engine.h"
#include "engine/panelcolours.h"
#include "engine/timer.h"
#include "link/portname.h"
#include "protocol/commands.h"
#include "shared/counter.h"
#include "shared/runtimeerror.h"

void Engine::openPort()
{
    state.ScanMode = m_address.isEmpty() ? 1 : 0;
    try {
        if (isDevicePath(m_portName)) {
            MSComm1->setDevicePath(m_portName);
        } else {
            const std::optional<qint16> PortNumber = portNumberOfName(m_portName);
            if (!PortNumber)
                throw RuntimeError(RuntimeError::TypeMismatch,
                                   QStringLiteral("Type mismatch: %1 is no port name: give "
                                                  "COM and a number, or a device path")
                                       .arg(m_portName));
            MSComm1->setPortNumber(*PortNumber);
        }
        MSComm1->setOpen(true);
        m_portError.clear();
        m_versionReply.clear();
        setLampShown(true);
        setPortBoxColour(Colour::Green);
        state.DownloadRequested = 0;
        state.ProbeCount = 1;
        if (m_address != QStringLiteral("0")) // only a lone 0 keeps the probe off
            Timer3->setEnabled(true);
        setCommand1Caption(state.ScanMode == 1 ? QStringLiteral("Next")
                                               : QStringLiteral("Set Addr"));
        state.DownloadActive = 0;
        setStatus(QStringLiteral("Ready"));
        setProgressPosition(0);
        setBarColour(Colour::Navy);
        SwitchTags();
        state.forgetReceived();
        startPoll();
    } catch (const std::exception &error) {
        m_portError = QString::fromUtf8(error.what());
        if (const auto *runtimeError = dynamic_cast<const RuntimeError *>(&error))
            m_portError = runtimeError->description();
        emit message(m_portName +
                     QStringLiteral(" Not available! Use Serial settings to setup your ports."));
        setStatus(QStringLiteral("Not present board"));
        Timer3->setEnabled(false);
    }
}

void Engine::closePort()
{
    const Pass pass = currentPass();
    Timer3->setEnabled(false);
    TMRComm->setEnabled(false);
    m_replyWatchTimer->setEnabled(false);
    m_commandWatchTimer->setEnabled(false);
    m_replyGapTimer->setEnabled(false);
    m_commandAwaited.reset();
    setProgressText(QStringLiteral("NO FILE"));
    setStatus(QStringLiteral("Closed"));
    setAnswer(QString());
    state.VerifyMode = 0;
    state.DownloadActive = 0;
    MSComm1->setOpen(false);
    setPortBoxColour(Colour::WindowBackground);
    setLampShown(false);
    SwitchTags();
    // The HEX file is never left open: the loader closes it on every path.
    endJob(JobResult::Outcome::Stopped, pass);
}

void Engine::unload()
{
    endJob(JobResult::Outcome::Stopped, currentPass()); // the window closed in the middle of it
    if (MSComm1->isOpen())
        MSComm1->setOpen(false);
}

void Engine::portLost()
{
    const Pass pass = currentPass();
    endJob(JobResult::Outcome::DeviceLost, pass);
    closePort();
    emit deviceLost();
    emit message(QStringLiteral("The port %1 was lost: the device went away. "
                                "Check the cable or adapter, then press Open Port.")
                     .arg(m_portName));
}

void Engine::SwitchTags()
{
    emit tagsSwitched();
}

void Engine::probeTick()
{
    const bool probing = Timer3->isEnabled();
    takeWaitingReplies(); // the answer to the last probe may be in already
    if (probing && !Timer3->isEnabled())
        return;
    // A number shows with a blank in front, where a minus sign would go.
    setStatus(QStringLiteral("WAIT Connect: ") + u' ' + QString::number(state.ProbeCount));
    if (state.ProbeCount > m_policy.probeAttempts) {
        Timer3->setEnabled(false); // before the message: no further tick while it is up
        emit message(m_portName + QStringLiteral(" Not connect !"));
        setStatus(QStringLiteral("Not present board"));
        state.ProbeCount = 1;
        emit probeGaveUp(m_policy.probeAttempts);
        return;
    }
    if (state.ScanMode == 1)
        writeAddress(QString::number(state.ProbeCount)); // the address this probe goes to
    QByteArray probe = Command::Query;
    WriteCOM32(probe);
    emit probeSent(m_address, state.ProbeCount, m_policy.probeAttempts);
    increment(state.ProbeCount);
}
