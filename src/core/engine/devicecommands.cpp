#include "engine/engine.h"
#include "engine/timer.h"
#include "protocol/commands.h"

// "Next" in scan mode goes on probing at the next address; "Set Addr" gives
// the board the new bus address.
void Engine::setAddressOrScanNext()
{
    if (state.ScanMode == 1) {
        Timer3->setEnabled(true);
        setAnswer(QString());
        return;
    }
    const std::optional<QByteArray> digits = newAddressDigits(m_newAddress);
    if (!digits || *digits == "00")
        return; // no address the board could take
    QByteArray command = Command::setAddress(*digits);
    WriteCOM32(command);
}

void Engine::queryBoard()
{
    setAnswer(QString());
    state.DownloadActive = 0; // so that the board's "VER=" sends no line
    QByteArray command = Command::Query;
    WriteCOM32(command);
}

void Engine::installFirmware()
{
    state.DownloadActive = 0;
    QByteArray command = Command::Install;
    WriteCOM32(command);
}
