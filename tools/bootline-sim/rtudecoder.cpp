#include "bootline-sim/rtudecoder.h"

#include "link/crc16.h"

namespace {

const QByteArray Prefix = "BOOT";
const QByteArray LineEnd = "\r\n";

constexpr qsizetype LongestChecksummed = 32766; // modbusCrc() refuses more

} // namespace

std::optional<Received> RtuDecoder::next()
{
    const qsizetype start = frameStartFrom(0);
    if (start > 0)
        return dropUpTo(Received::Dropped, start);
    if (m_buffer.size() < 1 + Prefix.size())
        return std::nullopt;
    const qsizetype lineEnd = m_buffer.indexOf(LineEnd, qMax(1 + Prefix.size(), m_searched));
    if (lineEnd < 0) {
        if (m_buffer.size() > LongestFrame)
            return dropUpTo(Received::Dropped, frameStartFrom(1));
        // The last byte may be a CR whose LF is still on its way.
        m_searched = m_buffer.size() - 1;
        return std::nullopt;
    }
    m_searched = lineEnd;
    const qsizetype crcAt = lineEnd + LineEnd.size();
    if (m_buffer.size() < crcAt + 2)
        return std::nullopt;
    if (crcAt > LongestChecksummed || modbusCrc(m_buffer.left(crcAt)) != m_buffer.mid(crcAt, 2)) {
        // Drop the whole frame, unless it was broken off and the next one starts inside it.
        const qsizetype restarted = m_buffer.indexOf(Prefix, 2) - 1;
        return dropUpTo(Received::Rejected,
                        restarted > 0 && restarted < crcAt + 2 ? restarted : crcAt + 2);
    }

    Received frame;
    frame.address = quint8(m_buffer[0]);
    frame.bytes = m_buffer.mid(1, lineEnd - 1);
    consume(crcAt + 2);
    return frame;
}

// The first place at or after from where a frame may start, going by the
// bytes in so far; the buffer's size when there is none.
qsizetype RtuDecoder::frameStartFrom(qsizetype from) const
{
    for (qsizetype at = from; at < m_buffer.size(); ++at) {
        const QByteArray following = m_buffer.mid(at + 1, Prefix.size());
        if (Prefix.startsWith(following))
            return at;
    }
    return m_buffer.size();
}

Received RtuDecoder::dropUpTo(Received::Kind kind, qsizetype end)
{
    Received dropped{kind, m_buffer.left(end), quint8(m_buffer[0])};
    consume(end);
    return dropped;
}
