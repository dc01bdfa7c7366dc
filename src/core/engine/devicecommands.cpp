#include "engine/engine.h"
#include "engine/timer.h"
#include "protocol/commands.h"

// "Next" in scan mode goes on probing at the next address; "Set Addr" gives
// the board the new bus address.
void Engine::setAddressOrScanNext()
{
    if (state.scanning) {
        m_probeTimer->setEnabled(true);
        emit askedAfresh();
        return;
    }
    const std::optional<QByteArray> digits = newAddressDigits(m_newAddress);
    if (!digits || *digits == "00")
        return; // no address the board could take
    sendCommand(DeviceCommand::NewAddress, Command::setAddress(*digits), m_policy.replyTimeoutMs);
}

void Engine::queryBoard()
{
    emit askedAfresh();
    state.downloading = false; // so that the board's "VER=" sends no line
    sendCommand(DeviceCommand::Query, Command::Query, m_policy.replyTimeoutMs);
}

void Engine::installFirmware()
{
    state.downloading = false;
    sendCommand(DeviceCommand::Install, Command::Install, m_policy.installReplyMs);
}

// A command that is not a line: its answer, or its silence after replyMs,
// is reported as the command's (commandAnswered, commandUnanswered).
void Engine::sendCommand(DeviceCommand command, QByteArray frame, int replyMs)
{
    takeWaitingReplies(); // so that no reply from before is taken for its answer
    if (writeFrame(frame) <= 0)
        return;
    m_commandAwaited = command;
    m_commandWatchTimer->start(replyMs);
}

void Engine::commandOverdue()
{
    if (const std::optional<DeviceCommand> command = std::exchange(m_commandAwaited, std::nullopt))
        emit commandUnanswered(*command);
}
