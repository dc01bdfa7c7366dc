#include "protocol/commands.h"
#include "window/frmserial.h"
#include "window/timer.h"

#include <QLineEdit>

// "Next" in scan mode goes on probing at the next address; "Set Addr" gives
// the board the new bus address from Text2.
void frmSerial::setAddressOrScanNext()
{
    if (state.ScanMode == 1) {
        Timer3->setEnabled(true);
        Text8->clear();
        return;
    }
    const std::optional<QByteArray> digits = newAddressDigits(Text2->text());
    if (!digits || *digits == "00")
        return; // no address the board could take
    QByteArray command = Command::setAddress(*digits);
    WriteCOM32(command);
}

void frmSerial::queryBoard()
{
    Text8->clear();
    state.DownloadActive = 0; // so that the board's "VER=" sends no line
    QByteArray command = Command::Query;
    WriteCOM32(command);
}

void frmSerial::installFirmware()
{
    state.DownloadActive = 0;
    QByteArray command = Command::Install;
    WriteCOM32(command);
}
