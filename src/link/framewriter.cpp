#include "link/crc16.h"
#include "link/rtuframe.h"
#include "window/colors.h"
#include "window/frmserial.h"
#include "window/lamp.h"
#include "window/serialport.h"
#include "window/timer.h"

#include <QLineEdit>

// Every command goes out here. Failures are swallowed: the result is then 0.
qint16 frmSerial::WriteCOM32(QByteArray &COMString)
{
    try {
        if (!MSComm1->isOpen())
            return 0;
        Pic->setFillColor(Colour::toQColor(Colour::SendGreen));
        if (TMRComm->isEnabled()) { // the next poll comes one whole interval after this send
            TMRComm->setEnabled(false);
            TMRComm->setEnabled(true);
        }
        if (Check1Value() == 1) {
            COMString.prepend(char(addressByte(Text1->text())));
            COMString += CRC16(COMString);
        }
        state.forgetReceived();
        MSComm1->write(COMString);
        return COMString.size() > 32767 ? 0 : qint16(COMString.size());
    } catch (const std::exception &) {
        return 0;
    }
}
