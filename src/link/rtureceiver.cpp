#include "link/rtureceiver.h"

#include "link/crc16.h"

bool RtuReceiver::collect(const QByteArray &received)
{
    m_buffer += received;
    if (m_buffer.size() > Capacity) {
        m_buffer.clear();
        return false;
    }
    return m_buffer.size() >= ShortestFrame;
}

RtuReceiver::Verdict RtuReceiver::examine(quint8 address)
{
    const qsizetype crcAt = m_buffer.size() - 2;
    for (qsizetype start = 0; start + ShortestFrame <= m_buffer.size(); ++start) {
        if (startsFrameAt(start, address) &&
            CRC16(m_buffer.mid(start, crcAt - start)) == m_buffer.mid(crcAt))
            return {Verdict::Reply, m_buffer.mid(start + 2, crcAt - start - 2)};
    }
    if (startsFrameAt(0, address))
        return {}; // its rest may still be on its way
    for (qsizetype start = 1; start + 1 < m_buffer.size(); ++start) {
        if (startsFrameAt(start, address)) {
            m_buffer.remove(0, start); // stray bytes, as a bus turning round produces
            return {};
        }
    }
    return {quint8(m_buffer[0]) != address ? Verdict::AddressError : Verdict::CommandError, {}};
}

bool RtuReceiver::startsFrameAt(qsizetype at, quint8 address) const
{
    return quint8(m_buffer[at]) == address && m_buffer[at + 1] == 'B';
}
