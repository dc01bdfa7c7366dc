#include "engine/engine.h"
#include "engine/panelcolours.h"
#include "engine/timer.h"
#include "link/crc16.h"
#include "link/rtuframe.h"

// Every command goes out here. Failures are swallowed: the result is then 0.
qint16 Engine::WriteCOM32(QByteArray &COMString)
{
    try {
        if (!MSComm1->isOpen())
            return 0;
        setLampColour(Colour::SendGreen);
        restartPoll();
        if (m_rtu == 1) {
            COMString.prepend(char(addressByte(m_address)));
            COMString += CRC16(COMString);
        }
        MSComm1->write(COMString);
        emit frameWritten(COMString);
        return COMString.size() > 32767 ? 0 : qint16(COMString.size());
    } catch (const std::exception &) {
        return 0;
    }
}
