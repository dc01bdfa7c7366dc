#include "engine/engine.h"
#include "engine/timer.h"
#include "link/crc16.h"
#include "link/rtuframe.h"

// Every command goes out here. Failures are swallowed: the result is then 0.
qint16 Engine::writeFrame(QByteArray &frame)
{
    try {
        if (!m_port->isOpen())
            return 0;
        restartPoll();
        if (m_rtu) {
            frame.prepend(char(addressByte(m_address)));
            frame += modbusCrc(frame);
        }
        m_port->write(frame);
        emit frameWritten(frame);
        return frame.size() > 32767 ? 0 : qint16(frame.size());
    } catch (const std::exception &) {
        return 0;
    }
}
