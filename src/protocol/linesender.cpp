#include "protocol/commands.h"
#include "shared/counter.h"
#include "window/frmserial.h"
#include "window/progressbar.h"

// Sends the line after the one sent last, wrapping after the last loaded line.
void frmSerial::sendNextLine()
{
    const Command::LineForm form =
        state.VerifyMode == 1 ? Command::LineForm::Verify : Command::LineForm::Download;
    if (form == Command::LineForm::Download)
        vbalProgressBar1->setText(QStringLiteral("DOWNLOAD"));
    increment(state.LineIndex);
    QByteArray frame = Command::line(state.HexLines[state.LineIndex], form);
    WriteCOM32(frame);
    vbalProgressBar1->setPosition(state.LineIndex);
    if (state.LineIndex == state.LineCount)
        state.LineIndex = 0;
}
